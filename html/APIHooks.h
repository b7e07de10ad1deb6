// Process-local patches of import slots. The browser control plays a click
// when a page navigates, and the AIM layer measures idle time with the tick
// count; the client replaces those imports inside its own process only, by
// rewriting the slot a module calls through. Nothing outside this process
// and no other import is touched.
#pragma once

#include <windows.h>

#include <atomic>

enum class PatchMode {
    ByAddress = 0, // the slot that holds the function's current address
    ByName = 1,    // the slot of the import named so (or "#123": by ordinal)
    DelayLoad = 2, // the slot of a delay-loaded import, named as in ByName
};

class CAPIHookBase {
public:
    virtual ~CAPIHookBase() = default;

    // Patches `module`; nothing with a null module. True when the previous
    // function is known afterwards.
    virtual bool Install(HMODULE module) = 0;

    // What the module called before the patch (null until installed).
    void* Previous() const { return previous_.load(); }

    // Rewrites the import slot of `functionName` from `dllName` in `module`
    // to `replacement`, and returns what the slot held before (for a
    // delay-load slot not yet bound, the real function). Null, with the slot
    // untouched, when the module is not an image, the import is not there or
    // the slot cannot be written.
    static void* PatchImport(PatchMode mode, HMODULE module, const char* dllName, const char* functionName,
                             void* replacement, void* knownAddress = nullptr);

protected:
    bool Remember(void* previous);

    std::atomic<void*> previous_{nullptr};
};

// GetTickCount as the AIM layer imports it: runs ahead by the idle offset.
class CKernel32Hook : public CAPIHookBase {
public:
    bool Install(HMODULE module) override;
};

// QueryPerformanceCounter as the layer's transport imports it: reads zero
// once when appearing idle starts.
class CKernel32QPCHook : public CAPIHookBase {
public:
    bool Install(HMODULE module) override;
};

// PlaySoundW as the browser frame (version 7 on) delay-loads it: no
// navigation clicks.
class CIEFrameHook : public CAPIHookBase {
public:
    bool Install(HMODULE module) override;
};

// PlaySoundW as the shell helpers delay-load it (older browser versions).
class CShlwapiHook : public CAPIHookBase {
public:
    bool Install(HMODULE module) override;
};

CKernel32Hook& Kernel32Hook();
CKernel32QPCHook& Kernel32QPCHook();
CIEFrameHook& IEFrameHook();
CShlwapiHook& ShlwapiHook();

// The idle offset the layer's tick count runs ahead by, and the one-shot
// zero reading of its performance counter; written on the GUI thread, read
// by the replacements on any thread.
void SetIdleOffset(DWORD milliseconds);
void ArmCounterReset(bool armed);

// The function an import slot of `module` holds now (by name), for checking
// a patch from outside; null when there is no such import.
void* ImportedFunction(HMODULE module, const char* dllName, const char* functionName);

// The browser's sound hook, by the control's major version.
bool InstallBrowserSoundHook(int majorVersion);
