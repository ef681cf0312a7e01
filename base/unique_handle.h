// One move-only owner for every kind of Windows handle, with a closer per kind,
// so that "released on every path" holds by construction.
#pragma once

#include <windows.h>

#include <utility>

template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(T value) noexcept : value_(value) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    T get() const noexcept { return value_; }
    bool valid() const noexcept { return Traits::valid(value_); }
    explicit operator bool() const noexcept { return valid(); }

    void reset(T value = Traits::empty()) noexcept {
        T old = std::exchange(value_, value);
        if (Traits::valid(old)) Traits::close(old);
    }
    T release() noexcept { return std::exchange(value_, Traits::empty()); }

    // For out-parameters: closes what is held and hands out the slot.
    T* put() noexcept {
        reset();
        return &value_;
    }

private:
    T value_ = Traits::empty();
};

struct RegistryKeyTraits {
    static HKEY empty() noexcept { return nullptr; }
    static bool valid(HKEY key) noexcept { return key != nullptr; }
    static void close(HKEY key) noexcept { RegCloseKey(key); }
};
using UniqueHkey = UniqueHandle<HKEY, RegistryKeyTraits>;

// Files, snapshots, threads, mutexes: null and INVALID_HANDLE_VALUE both mean none.
struct KernelHandleTraits {
    static HANDLE empty() noexcept { return nullptr; }
    static bool valid(HANDLE handle) noexcept {
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    }
    static void close(HANDLE handle) noexcept { CloseHandle(handle); }
};
using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;

struct FindHandleTraits {
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool valid(HANDLE handle) noexcept {
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    }
    static void close(HANDLE handle) noexcept { FindClose(handle); }
};
using UniqueFindHandle = UniqueHandle<HANDLE, FindHandleTraits>;
