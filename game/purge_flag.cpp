#include "game/purge_flag.h"

#include "base/text_util.h"

Outcome edit_purge_flag(FileEntry& entry, bool& flag, int mode) {
    if (!entry.exists()) return OUTCOME_ERROR;
    auto text = make_buffer<char>(PURGE_WORK_BUFFER_BYTES);
    if (!text) return OUTCOME_ERROR;
    DWORD count = 0;
    if (!entry.read(text.get(), PURGE_WORK_BUFFER_BYTES, &count) || count >= PURGE_WORK_BUFFER_BYTES)
        return OUTCOME_ERROR;
    text[count] = 0;

    const Outcome scanned = scan_purge_flag(text.get(), count, flag, mode);
    if (mode == PURGE_WRITE) return entry.write(text.get(), count) ? OUTCOME_OK : OUTCOME_ERROR;
    return scanned;
}
