// Owners for what COM hands out: an interface is released, task memory (an
// item list of the shell, for one) is freed, on every path.
#pragma once

#include "base/unique_handle.h"

#include <objbase.h>

template <typename Interface>
struct ComInterfaceTraits {
    static Interface* empty() noexcept { return nullptr; }
    static bool valid(Interface* object) noexcept { return object != nullptr; }
    static void close(Interface* object) noexcept { object->Release(); }
};
template <typename Interface>
using UniqueCom = UniqueHandle<Interface*, ComInterfaceTraits<Interface>>;

// The void** slot that CoCreateInstance and QueryInterface fill.
template <typename Interface>
void** put_void(UniqueCom<Interface>& owner) noexcept {
    return reinterpret_cast<void**>(owner.put());
}

template <typename Block>
struct CoTaskMemTraits {
    static Block* empty() noexcept { return nullptr; }
    static bool valid(Block* block) noexcept { return block != nullptr; }
    static void close(Block* block) noexcept { CoTaskMemFree(block); }
};
template <typename Block>
using UniqueCoTaskMem = UniqueHandle<Block*, CoTaskMemTraits<Block>>;
