#include "APIHooks.h"

#include <mmsystem.h>

#include <cstdlib>
#include <cstring>

namespace {

std::atomic<DWORD> g_idleOffset{0};
std::atomic<bool> g_counterReset{false};

const DWORD kExecuteRights = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// Whether `size` bytes at `address` lie in committed, readable memory of one
// region; the headers of a module are checked this way before they are read.
bool Readable(const void* address, size_t size)
{
    MEMORY_BASIC_INFORMATION info;
    if (!address || VirtualQuery(address, &info, sizeof(info)) != sizeof(info))
        return false;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) || info.Protect == 0)
        return false;
    const BYTE* end = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize;
    return static_cast<const BYTE*>(address) + size <= end;
}

bool IsCode(const void* address)
{
    MEMORY_BASIC_INFORMATION info;
    return address && VirtualQuery(address, &info, sizeof(info)) == sizeof(info) && info.State == MEM_COMMIT
        && (info.Protect & kExecuteRights);
}

// A view of a loaded image: addresses inside it by relative address, each
// checked for being readable before use.
class CImage {
public:
    explicit CImage(HMODULE module) : base_(reinterpret_cast<const BYTE*>(module))
    {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base_);
        if (!Readable(dos, sizeof(*dos)) || dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0)
            return;
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base_ + dos->e_lfanew);
        if (!Readable(nt, sizeof(*nt)) || nt->Signature != IMAGE_NT_SIGNATURE
            || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC)
            return;
        nt_ = nt;
    }

    bool Valid() const { return nt_ != nullptr; }

    const IMAGE_DATA_DIRECTORY& Directory(int index) const { return nt_->OptionalHeader.DataDirectory[index]; }

    template <typename T>
    T* At(ULONG_PTR rva, size_t count = 1) const
    {
        if (rva == 0)
            return nullptr;
        auto* p = reinterpret_cast<T*>(const_cast<BYTE*>(base_) + rva);
        return Readable(p, sizeof(T) * count) ? p : nullptr;
    }

    // Old delay-load descriptors hold addresses instead of relative ones.
    ULONG_PTR RvaOf(ULONG_PTR address, bool relative) const
    {
        if (relative || address == 0)
            return address;
        const ULONG_PTR base = nt_->OptionalHeader.ImageBase;
        return address >= base ? address - base : 0;
    }

    const char* Text(ULONG_PTR rva) const
    {
        const char* text = At<char>(rva);
        if (!text)
            return nullptr;
        // Names are short; one that runs on is not a name.
        for (size_t i = 0; i < 512; ++i) {
            if (!Readable(text + i, 1))
                return nullptr;
            if (text[i] == '\0')
                return text;
        }
        return nullptr;
    }

private:
    const BYTE* base_;
    const IMAGE_NT_HEADERS* nt_ = nullptr;
};

bool SameName(const char* a, const char* b)
{
    return a && b && _stricmp(a, b) == 0;
}

// "#12" or "12": an import by ordinal.
bool OrdinalOf(const char* functionName, WORD& ordinal)
{
    const char* digits = functionName[0] == '#' ? functionName + 1 : functionName;
    if (*digits == '\0')
        return false;
    char* end = nullptr;
    const unsigned long value = std::strtoul(digits, &end, 10);
    if (*end != '\0' || value > 0xFFFF)
        return false;
    ordinal = static_cast<WORD>(value);
    return true;
}

// Writes one slot, keeping whatever rights its page had (an import table
// may share a page with code) and putting them back afterwards.
bool WriteSlot(void* slot, void* value)
{
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(slot, &info, sizeof(info)) != sizeof(info) || info.State != MEM_COMMIT)
        return false;
    const DWORD writable = (info.Protect & kExecuteRights) ? PAGE_EXECUTE_READWRITE : PAGE_READWRITE;
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), writable, &old))
        return false;
    InterlockedExchangePointer(static_cast<void**>(slot), value);
    DWORD ignored = 0;
    VirtualProtect(slot, sizeof(void*), old, &ignored);
    return true;
}

// Whether a name-table entry stands for `functionName`.
bool EntryMatches(const CImage& image, ULONG_PTR entry, const char* functionName)
{
    if (IMAGE_SNAP_BY_ORDINAL(entry)) {
        WORD ordinal = 0;
        return OrdinalOf(functionName, ordinal) && IMAGE_ORDINAL(entry) == ordinal;
    }
    const char* name = image.Text(entry + offsetof(IMAGE_IMPORT_BY_NAME, Name));
    return name && std::strcmp(name, functionName) == 0;
}

// The address-table slot of `functionName`, walking the name table beside
// it (or the address table itself when there is no name table).
ULONG_PTR* FindNamedSlot(const CImage& image, ULONG_PTR nameTable, ULONG_PTR addressTable, const char* functionName)
{
    if (addressTable == 0)
        return nullptr;
    const ULONG_PTR names = nameTable ? nameTable : addressTable;
    for (size_t i = 0;; ++i) {
        const auto* name = image.At<IMAGE_THUNK_DATA>(names + i * sizeof(IMAGE_THUNK_DATA));
        auto* slot = image.At<IMAGE_THUNK_DATA>(addressTable + i * sizeof(IMAGE_THUNK_DATA));
        if (!name || !slot || name->u1.AddressOfData == 0)
            return nullptr;
        if (EntryMatches(image, name->u1.AddressOfData, functionName))
            return reinterpret_cast<ULONG_PTR*>(&slot->u1.Function);
    }
}

// Visits the import descriptors of `dllName`; a module may list one DLL in
// more than one descriptor.
template <typename Visit>
bool ForEachImportOf(const CImage& image, const char* dllName, Visit visit)
{
    const IMAGE_DATA_DIRECTORY& directory = image.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (directory.VirtualAddress == 0)
        return false;
    for (size_t i = 0;; ++i) {
        const auto* descriptor =
            image.At<IMAGE_IMPORT_DESCRIPTOR>(directory.VirtualAddress + i * sizeof(IMAGE_IMPORT_DESCRIPTOR));
        if (!descriptor || descriptor->Name == 0)
            return false;
        if (SameName(image.Text(descriptor->Name), dllName) && visit(*descriptor))
            return true;
    }
}

void* PatchByAddress(const CImage& image, const char* dllName, const char* functionName, void* replacement,
                     void* current)
{
    if (!current) {
        HMODULE dll = GetModuleHandleA(dllName);
        current = dll ? reinterpret_cast<void*>(GetProcAddress(dll, functionName)) : nullptr;
    }
    if (!current)
        return nullptr;
    void* previous = nullptr;
    ForEachImportOf(image, dllName, [&](const IMAGE_IMPORT_DESCRIPTOR& descriptor) {
        for (size_t i = 0;; ++i) {
            auto* slot = image.At<IMAGE_THUNK_DATA>(descriptor.FirstThunk + i * sizeof(IMAGE_THUNK_DATA));
            if (!slot || slot->u1.Function == 0)
                return false;
            if (reinterpret_cast<void*>(slot->u1.Function) == current) {
                if (WriteSlot(&slot->u1.Function, replacement))
                    previous = current;
                return true;
            }
        }
    });
    return previous;
}

void* PatchByName(const CImage& image, const char* dllName, const char* functionName, void* replacement)
{
    void* previous = nullptr;
    ForEachImportOf(image, dllName, [&](const IMAGE_IMPORT_DESCRIPTOR& descriptor) {
        ULONG_PTR* slot =
            FindNamedSlot(image, descriptor.OriginalFirstThunk, descriptor.FirstThunk, functionName);
        if (!slot)
            return false;
        void* old = reinterpret_cast<void*>(*slot);
        if (old != replacement && WriteSlot(slot, replacement))
            previous = old;
        return true;
    });
    return previous;
}

// The real function behind a delay-load slot. A slot not yet bound holds the
// loader's stub; remembering the stub as "previous" would make the first
// call through it bind the slot again and undo the patch.
void* RealDelayLoadTarget(void* slotValue, const char* dllName, const char* functionName)
{
    HMODULE dll = GetModuleHandleA(dllName);
    FARPROC real = dll ? GetProcAddress(dll, functionName) : nullptr;
    if (real && reinterpret_cast<void*>(real) == slotValue)
        return slotValue;
    if (!dll)
        dll = LoadLibraryA(dllName);
    real = dll ? GetProcAddress(dll, functionName) : nullptr;
    return reinterpret_cast<void*>(real);
}

void* PatchDelayLoad(const CImage& image, const char* dllName, const char* functionName, void* replacement)
{
    const IMAGE_DATA_DIRECTORY& directory = image.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT);
    if (directory.VirtualAddress == 0)
        return nullptr;
    for (size_t i = 0;; ++i) {
        const auto* descriptor =
            image.At<IMAGE_DELAYLOAD_DESCRIPTOR>(directory.VirtualAddress + i * sizeof(IMAGE_DELAYLOAD_DESCRIPTOR));
        if (!descriptor || descriptor->DllNameRVA == 0)
            return nullptr;
        const bool relative = (descriptor->Attributes.AllAttributes & 1) != 0;
        if (!SameName(image.Text(image.RvaOf(descriptor->DllNameRVA, relative)), dllName))
            continue;
        ULONG_PTR* slot = FindNamedSlot(image, image.RvaOf(descriptor->ImportNameTableRVA, relative),
                                        image.RvaOf(descriptor->ImportAddressTableRVA, relative), functionName);
        if (!slot)
            return nullptr;
        void* current = reinterpret_cast<void*>(*slot);
        if (current == replacement)
            return nullptr;
        void* previous = RealDelayLoadTarget(current, dllName, functionName);
        if (!previous)
            return nullptr;
        // Later imports of the same DLL then find it bound already.
        auto* handle = image.At<HMODULE>(image.RvaOf(descriptor->ModuleHandleRVA, relative));
        if (handle && !*handle)
            WriteSlot(handle, GetModuleHandleA(dllName));
        return WriteSlot(slot, replacement) ? previous : nullptr;
    }
}

// The replacements. Each falls back to the system function when nothing
// was saved, so a half-installed hook never calls through null.

template <typename Function>
Function PreviousOr(const CAPIHookBase& hook, Function system)
{
    void* previous = hook.Previous();
    return previous ? reinterpret_cast<Function>(previous) : system;
}

DWORD WINAPI TickCountReplacement()
{
    const DWORD offset = g_idleOffset.load();
    if (offset != 0)
        return GetTickCount() + offset;
    return PreviousOr(Kernel32Hook(), &GetTickCount)();
}

BOOL WINAPI CounterReplacement(LARGE_INTEGER* count)
{
    if (!count) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (g_counterReset.exchange(false)) {
        count->QuadPart = 0;
        return TRUE;
    }
    return PreviousOr(Kernel32QPCHook(), &QueryPerformanceCounter)(count);
}

// A resource id or a sound in memory is not a name to compare.
bool IsSoundName(LPCWSTR sound, DWORD flags)
{
    return sound && !IS_INTRESOURCE(sound) && !(flags & (SND_RESOURCE | SND_MEMORY));
}

constexpr DWORD kBrowserClickFlags = SND_FILENAME | SND_ALIAS | SND_NOSTOP | SND_NODEFAULT | SND_ASYNC;

BOOL WINAPI FramePlaySoundReplacement(LPCWSTR sound, HMODULE module, DWORD flags)
{
    if (IsSoundName(sound, flags)
        && (flags == kBrowserClickFlags || _wcsicmp(sound, L"navigating") == 0
            || _wcsicmp(sound, L"activatingdocument") == 0))
        return TRUE;
    return PreviousOr(IEFrameHook(), &PlaySoundW)(sound, module, flags);
}

BOOL WINAPI ShlwapiPlaySoundReplacement(LPCWSTR sound, HMODULE module, DWORD flags)
{
    if (IsSoundName(sound, flags) && flags == kBrowserClickFlags)
        return TRUE;
    return PreviousOr(ShlwapiHook(), &PlaySoundW)(sound, module, flags);
}

template <typename Function>
void* CodeOf(Function function)
{
    return reinterpret_cast<void*>(function);
}

} // namespace

void* CAPIHookBase::PatchImport(PatchMode mode, HMODULE module, const char* dllName, const char* functionName,
                                void* replacement, void* knownAddress)
{
    if (!module || !dllName || !functionName || !IsCode(replacement))
        return nullptr;
    const CImage image(module);
    if (!image.Valid())
        return nullptr;
    switch (mode) {
    case PatchMode::ByAddress: return PatchByAddress(image, dllName, functionName, replacement, knownAddress);
    case PatchMode::ByName: return PatchByName(image, dllName, functionName, replacement);
    case PatchMode::DelayLoad: return PatchDelayLoad(image, dllName, functionName, replacement);
    }
    return nullptr;
}

bool CAPIHookBase::Remember(void* previous)
{
    if (previous)
        previous_.store(previous);
    return previous_.load() != nullptr;
}

bool CKernel32Hook::Install(HMODULE module)
{
    if (!module)
        return false;
    return Remember(PatchImport(PatchMode::ByAddress, module, "Kernel32.dll", "GetTickCount",
                                CodeOf(&TickCountReplacement)));
}

bool CKernel32QPCHook::Install(HMODULE module)
{
    if (!module)
        return false;
    return Remember(PatchImport(PatchMode::ByAddress, module, "Kernel32.dll", "QueryPerformanceCounter",
                                CodeOf(&CounterReplacement)));
}

bool CIEFrameHook::Install(HMODULE module)
{
    if (!module)
        return false;
    return Remember(
        PatchImport(PatchMode::DelayLoad, module, "winmm.dll", "PlaySoundW", CodeOf(&FramePlaySoundReplacement)));
}

bool CShlwapiHook::Install(HMODULE module)
{
    if (!module)
        return false;
    return Remember(PatchImport(PatchMode::DelayLoad, module, "winmm.dll", "PlaySoundW",
                                CodeOf(&ShlwapiPlaySoundReplacement)));
}

CKernel32Hook& Kernel32Hook()
{
    static CKernel32Hook hook;
    return hook;
}

CKernel32QPCHook& Kernel32QPCHook()
{
    static CKernel32QPCHook hook;
    return hook;
}

CIEFrameHook& IEFrameHook()
{
    static CIEFrameHook hook;
    return hook;
}

CShlwapiHook& ShlwapiHook()
{
    static CShlwapiHook hook;
    return hook;
}

void SetIdleOffset(DWORD milliseconds)
{
    g_idleOffset.store(milliseconds);
}

void ArmCounterReset(bool armed)
{
    g_counterReset.store(armed);
}

void* ImportedFunction(HMODULE module, const char* dllName, const char* functionName)
{
    if (!module || !dllName || !functionName)
        return nullptr;
    const CImage image(module);
    if (!image.Valid())
        return nullptr;
    void* function = nullptr;
    ForEachImportOf(image, dllName, [&](const IMAGE_IMPORT_DESCRIPTOR& descriptor) {
        ULONG_PTR* slot =
            FindNamedSlot(image, descriptor.OriginalFirstThunk, descriptor.FirstThunk, functionName);
        if (slot)
            function = reinterpret_cast<void*>(*slot);
        return slot != nullptr;
    });
    return function;
}

bool InstallBrowserSoundHook(int majorVersion)
{
    if (majorVersion < 7)
        return ShlwapiHook().Install(GetModuleHandleW(L"shlwapi.dll"));
    return IEFrameHook().Install(GetModuleHandleW(L"ieframe.dll"));
}
