// The program's own global allocation functions. The product allocates only
// with new (std::nothrow), and the library's versions of that form call the
// throwing form inside a try block, which drags the whole exception runtime
// (unwinder, demangler, printf, threads library) into an exe in which no
// exception is ever thrown. These go straight to the C heap, as the library's
// own do, so memory from either side may be freed by the other.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
