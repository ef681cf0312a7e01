// Measures for scripts/bench, run under Wine against the PHP stand-in of the
// site. Each mode prints "name: v1 v2 ..." lines (milliseconds, bytes) that
// the script turns into medians and ratios.
//
//   bench_tool upload GAME RUNS           the upload worker behind its dialog
//   bench_tool update GAME RUNS           the update worker behind its dialog (nothing installed)
//   bench_tool floor-upload RUNS [DIR]    the same two requests from a minimal WinINet program;
//                                         DIR receives the bodies for curl
//   bench_tool floor-update RUNS PATHS    GET of every path in the file PATHS, one connection
//   bench_tool startup EXE GAME LOG RUNS  start to the main window idle after the start-up update
//   bench_tool bare EXE RUNS              start to the window of a program that only shows one
#include "game/game_constants.h"
#include "net/multipart_form.h"
#include "net/site_constants.h"
#include "progress/dialog_context.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "tests/support/progress_recorder.h"
#include "tests/support/test_support.h"
#include "tests/support/window_driver.h"
#include "ui/main_window.h"
#include "ui/progress_dialog.h"

#include <psapi.h>
#include <wininet.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::wstring DATA_FILE = L"WTF\\Account\\ALPHA\\SavedVariables\\Quillfern.lua";
constexpr DWORD DATA_FILE_BYTES = 1572863;
const char LOGIN[] = "demo";
const char PASSWORD[] = "demo-pass";

double now_ms() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void print_row(const char* name, const std::vector<double>& values) {
    std::printf("%s:", name);
    for (double v : values) std::printf(" %.1f", v);
    std::printf("\n");
    std::fflush(stdout);
}

double peak_working_set(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) return -1;
    return static_cast<double>(counters.PeakWorkingSetSize);
}

// A data file of exactly the size asked, its flag "false", as the game leaves it.
std::string data_file_bytes() {
    std::string bytes = "QF_Purge = \"false\"\r\nQF_Data = \"";
    const std::string tail = "\"\r\n";
    bytes.append(DATA_FILE_BYTES - bytes.size() - tail.size(), 'd');
    return bytes + tail;
}

void write_file(const std::wstring& path, const std::string& bytes) {
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

std::wstring widen(const char* text) {
    std::wstring wide;
    for (const char* c = text; *c; ++c) wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return wide;
}

// Settings on a scratch key, for the workers run in this process.
struct BenchSettings {
    ScratchKey key;
    SettingsKey settings;
    explicit BenchSettings(const std::wstring& game) : settings(open_settings(key)) {
        wchar_t message[MESSAGE_CAPACITY];
        set_username(message, settings, widen(LOGIN).c_str());
        set_password(message, settings, widen(PASSWORD).c_str());
        key.set_text(VALUE_GAME_PATH, game);
        key.set_text(VALUE_ACCOUNT, L"ALPHA");
        key.set_text(VALUE_ADDON_EDITION, L"Light");
    }
};

// Time from the dialog's start to its worker's end message.
double timed_dialog_run(DLGPROC procedure, DialogContext& context, HWND owner, bool* succeeded) {
    double ended = 0;
    const double started = now_ms();
    // Where the time goes, step by step, when asked (BENCH_STEPS=1).
    const bool steps = GetEnvironmentVariableW(L"BENCH_STEPS", nullptr, 0) != 0;
    ProgressRecord record =
        run_progress_dialog(procedure, context, owner, [&](HWND, const ProgressEvent& event) {
            if (event.control == 0 && ended == 0) ended = now_ms();
            if (steps && event.message == WM_SETTEXT && event.control != IDC_PROGRESS_BYTES)
                std::fprintf(stderr, "  %8.1f ms  %.40ls\n", now_ms() - started, event.text.c_str());
        });
    *succeeded = record.status.find(L"échou") == std::wstring::npos &&
                 record.status.find(L"impossible") == std::wstring::npos && record.button == L"OK";
    if (!*succeeded)
        std::fprintf(stderr, "run failed: [%ls] [%ls]\n", record.status.c_str(), record.button.c_str());
    return ended - started;
}

int run_workers(bool upload, const std::wstring& game, int runs) {
    BenchSettings bench(game);
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    std::vector<double> times;
    const std::string data = data_file_bytes();
    for (int i = 0; i < runs; ++i) {
        if (upload) {
            write_file(game + DATA_FILE, data);
        } else {
            remove_tree(game + L"Interface\\AddOns\\Quillfern");
        }
        DialogContext context{&bench.settings, owner};
        bool succeeded = false;
        times.push_back(timed_dialog_run(upload ? send_dialog_proc : update_dialog_proc, context,
                                         owner, &succeeded));
        if (!succeeded) return 1;
    }
    DestroyWindow(owner);
    print_row(upload ? "upload_ms" : "update_ms", times);
    print_row(upload ? "upload_peak_bytes" : "update_peak_bytes",
              {peak_working_set(GetCurrentProcess())});
    return 0;
}

// The smallest WinINet client: one session, one connection, each request
// sent whole and its reply read to the end.
class FloorClient {
public:
    FloorClient() {
        session_ = InternetOpenW(SITE_USER_AGENT, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        connection_ = InternetConnectW(session_, SITE_HOST, SITE_PORT, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0);
    }
    ~FloorClient() {
        InternetCloseHandle(connection_);
        InternetCloseHandle(session_);
    }
    // Bytes of the reply, or -1.
    long long request(const wchar_t* verb, const wchar_t* path, const std::string& body) {
        const wchar_t* accept[] = {L"*/*", nullptr};
        HINTERNET request = HttpOpenRequestW(connection_, verb, path, nullptr, nullptr, accept,
                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION, 0);
        if (!request) return -1;
        const wchar_t header[] =
            L"Content-Type: multipart/form-data; boundary=" MULTIPART_BOUNDARY_TEXT L"\r\n";
        const bool sent =
            body.empty() ? HttpSendRequestW(request, nullptr, 0, nullptr, 0)
                         : HttpSendRequestW(request, header, static_cast<DWORD>(-1),
                                            const_cast<char*>(body.data()),
                                            static_cast<DWORD>(body.size()));
        long long total = -1;
        if (sent) {
            total = 0;
            char buffer[65536];
            DWORD got = 0;
            while (InternetReadFile(request, buffer, sizeof(buffer), &got) && got != 0) total += got;
        }
        InternetCloseHandle(request);
        return total;
    }

private:
    HINTERNET session_ = nullptr;
    HINTERNET connection_ = nullptr;
};

std::string form_bytes(const MultipartForm& form) {
    return std::string(reinterpret_cast<const char*>(form.body()), form.length());
}

int floor_upload(int runs, const wchar_t* bodies_folder) {
    // The same two bodies as the upload worker's.
    MultipartForm form;
    add_field(form, FIELD_LOGIN, LOGIN, sizeof(LOGIN) - 1, nullptr);
    add_field(form, FIELD_PASSWORD, PASSWORD, sizeof(PASSWORD) - 1, nullptr);
    add_field(form, FIELD_VERSION, SITE_BUILD_NUMBER, sizeof(SITE_BUILD_NUMBER) - 1, nullptr);
    const std::string authentication = form_bytes(form);
    const std::string data = data_file_bytes();
    add_field(form, FIELD_FILE, data.data(), static_cast<std::int32_t>(data.size()), UPLOAD_FILE_NAME);
    const std::string send = form_bytes(form);
    if (bodies_folder) {
        write_file(std::wstring(bodies_folder) + L"\\authentication.bin", authentication);
        write_file(std::wstring(bodies_folder) + L"\\send.bin", send);
    }
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double started = now_ms();
        FloorClient client;
        if (client.request(L"POST", SITE_AUTHENTICATION_PATH, authentication) < 0 ||
            client.request(L"POST", SITE_SEND_PATH, send) < 0)
            return 1;
        times.push_back(now_ms() - started);
    }
    print_row("floor_upload_ms", times);
    print_row("floor_upload_peak_bytes", {peak_working_set(GetCurrentProcess())});
    return 0;
}

int floor_update(int runs, const wchar_t* paths_file) {
    std::vector<std::wstring> paths;
    std::ifstream list(paths_file);
    for (std::string line; std::getline(list, line);)
        if (!line.empty()) paths.push_back(widen(line.c_str()));
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double started = now_ms();
        FloorClient client;
        for (const std::wstring& path : paths)
            if (client.request(L"GET", path.c_str(), "") < 0) return 1;
        times.push_back(now_ms() - started);
    }
    print_row("floor_update_ms", times);
    return 0;
}

struct Started {
    PROCESS_INFORMATION info{};
    bool ok = false;
    explicit Started(const std::wstring& exe) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring command = L"\"" + exe + L"\"";
        ok = CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info) != 0;
    }
    ~Started() {
        if (!ok) return;
        TerminateProcess(info.hProcess, 0);
        WaitForSingleObject(info.hProcess, 10000);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

// The program's window, looked for once.
HWND visible_window(DWORD process, const wchar_t* window_class) {
    return wait_for_window(process, window_class, nullptr, 0);
}

// Requests for the release list the site has logged so far.
int release_list_requests(const std::wstring& log) {
    std::ifstream file(log.c_str());
    int count = 0;
    for (std::string line; std::getline(file, line);)
        count += line.find("release.txt") != std::string::npos;
    return count;
}

int startup(const std::wstring& exe, const std::wstring& game, const std::wstring& log, int runs) {
    // The program reads its settings from the real key of this prefix.
    delete_key_tree(HKEY_CURRENT_USER, SETTINGS_SUBKEY);
    {
        SettingsKey settings;
        wchar_t message[LOAD_MESSAGE_CAPACITY];
        load_settings(message, settings);
        set_username(message, settings, widen(LOGIN).c_str());
        set_password(message, settings, widen(PASSWORD).c_str());
        set_game_path(message, settings, game.c_str());
        set_account(message, settings, L"ALPHA");
        set_addon_edition(message, settings, L"Light");
    }
    std::vector<double> times, peaks;
    for (int i = 0; i < runs; ++i) {
        const int before = release_list_requests(log);
        const double started = now_ms();
        Started program(exe);
        if (!program.ok) return 1;
        double idle = 0;
        for (int polls = 0; polls < 30000 && idle == 0; ++polls) {
            HWND window = visible_window(program.info.dwProcessId, MAIN_WINDOW_CLASS);
            if (window && IsWindowEnabled(window) && release_list_requests(log) > before &&
                !visible_window(program.info.dwProcessId, L"#32770"))
                idle = now_ms() - started;
            else
                Sleep(1);
        }
        if (idle == 0) return 1;
        times.push_back(idle);
        peaks.push_back(peak_working_set(program.info.hProcess));
    }
    delete_key_tree(HKEY_CURRENT_USER, SETTINGS_SUBKEY);
    print_row("startup_ms", times);
    print_row("startup_peak_bytes", peaks);
    return 0;
}

int bare(const std::wstring& exe, int runs) {
    std::vector<double> times, peaks;
    for (int i = 0; i < runs; ++i) {
        const double started = now_ms();
        Started program(exe);
        if (!program.ok) return 1;
        double shown = 0;
        for (int polls = 0; polls < 30000 && shown == 0; ++polls) {
            if (visible_window(program.info.dwProcessId, L"BareWindow"))
                shown = now_ms() - started;
            else
                Sleep(1);
        }
        if (shown == 0) return 1;
        times.push_back(shown);
        peaks.push_back(peak_working_set(program.info.hProcess));
    }
    print_row("bare_ms", times);
    print_row("bare_peak_bytes", peaks);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"upload" && argc == 4) return run_workers(true, argv[2], _wtoi(argv[3]));
    if (mode == L"update" && argc == 4) return run_workers(false, argv[2], _wtoi(argv[3]));
    if (mode == L"floor-upload" && argc >= 3) return floor_upload(_wtoi(argv[2]), argc > 3 ? argv[3] : nullptr);
    if (mode == L"floor-update" && argc == 4) return floor_update(_wtoi(argv[2]), argv[3]);
    if (mode == L"startup" && argc == 6) return startup(argv[2], argv[3], argv[4], _wtoi(argv[5]));
    if (mode == L"bare" && argc == 4) return bare(argv[2], _wtoi(argv[3]));
    std::fprintf(stderr, "usage: bench_tool upload|update|floor-upload|floor-update|startup|bare ...\n");
    return 2;
}
