// Import patching against hooktarget.dll, a module of ours built beside the
// suite: GetTickCount and QueryPerformanceCounter imported as usual,
// PlaySoundW delay-loaded. Each export calls through its import, so what the
// export returns is what the patched module would see.
#include "APIHooks.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <mmsystem.h>

#include <vector>

namespace {

using TickFunction = DWORD(WINAPI*)();
using CounterFunction = BOOL(WINAPI*)(LARGE_INTEGER*);
using SoundFunction = BOOL(WINAPI*)(LPCWSTR, DWORD);

DWORD WINAPI FixedTick()
{
    return 42;
}

BOOL WINAPI FixedCounter(LARGE_INTEGER* count)
{
    count->QuadPart = 7;
    return TRUE;
}

std::vector<DWORD> g_soundFlags;

BOOL WINAPI RecordingPlaySound(LPCWSTR, HMODULE, DWORD flags)
{
    g_soundFlags.push_back(flags);
    return TRUE;
}

class APIHooksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = LoadLibraryW((ExeFolder() + L"hooktarget.dll").c_str());
        ASSERT_TRUE(module);
        tick = Export<TickFunction>("TargetTickCount");
        counter = Export<CounterFunction>("TargetCounter");
        sound = Export<SoundFunction>("TargetPlaySound");
        ASSERT_TRUE(tick && counter && sound);
    }

    template <typename Function>
    Function Export(const char* name)
    {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }

    void* Slot(const char* dll, const char* function) { return ImportedFunction(module, dll, function); }

    HMODULE module = nullptr;
    TickFunction tick = nullptr;
    CounterFunction counter = nullptr;
    SoundFunction sound = nullptr;
};

TEST_F(APIHooksTest, EachModePatchesTheSlotAndGivesBackWhatItHeld)
{
    // By address: the slot that holds the current function.
    void* current = Slot("kernel32.dll", "GetTickCount");
    ASSERT_TRUE(current);
    void* previous = CAPIHookBase::PatchImport(PatchMode::ByAddress, module, "kernel32.dll", "GetTickCount",
                                               reinterpret_cast<void*>(&FixedTick), current);
    EXPECT_EQ(current, previous);
    EXPECT_EQ(42u, tick());
    // Patching back by address restores the module.
    EXPECT_EQ(reinterpret_cast<void*>(&FixedTick),
              CAPIHookBase::PatchImport(PatchMode::ByAddress, module, "KERNEL32.DLL", "GetTickCount", previous,
                                        reinterpret_cast<void*>(&FixedTick)));
    EXPECT_EQ(current, Slot("kernel32.dll", "GetTickCount"));
    EXPECT_NE(42u, tick());

    // By name.
    void* counterBefore = Slot("kernel32.dll", "QueryPerformanceCounter");
    previous = CAPIHookBase::PatchImport(PatchMode::ByName, module, "Kernel32.dll", "QueryPerformanceCounter",
                                         reinterpret_cast<void*>(&FixedCounter));
    EXPECT_EQ(counterBefore, previous);
    LARGE_INTEGER value = {};
    EXPECT_TRUE(counter(&value));
    EXPECT_EQ(7, value.QuadPart);
    CAPIHookBase::PatchImport(PatchMode::ByName, module, "Kernel32.dll", "QueryPerformanceCounter", previous);
    EXPECT_EQ(counterBefore, Slot("kernel32.dll", "QueryPerformanceCounter"));

    // Delay-load, before the import was ever bound: what comes back is the
    // real function, not the loader's stub that would bind the slot again.
    g_soundFlags.clear();
    previous = CAPIHookBase::PatchImport(PatchMode::DelayLoad, module, "WINMM.dll", "PlaySoundW",
                                         reinterpret_cast<void*>(&RecordingPlaySound));
    ASSERT_TRUE(previous);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"winmm.dll"), "PlaySoundW")), previous);
    EXPECT_TRUE(sound(L"first", SND_ALIAS));
    EXPECT_TRUE(sound(L"second", SND_ALIAS));
    EXPECT_EQ((std::vector<DWORD>{SND_ALIAS, SND_ALIAS}), g_soundFlags) << "the patch stays after the first call";
    // A second patch with the same replacement finds it there already.
    EXPECT_EQ(nullptr, CAPIHookBase::PatchImport(PatchMode::DelayLoad, module, "winmm.dll", "PlaySoundW",
                                                 reinterpret_cast<void*>(&RecordingPlaySound)));
}

TEST_F(APIHooksTest, WhatCannotBePatchedIsLeftAlone)
{
    void* current = Slot("kernel32.dll", "GetTickCount");
    std::vector<BYTE> notAnImage(4096, 0);
    notAnImage[0] = 'M';
    notAnImage[1] = 'Z';
    static const BYTE kData[16] = {};
    const struct {
        PatchMode mode;
        HMODULE module;
        const char* dll;
        const char* function;
        void* replacement;
    } cases[] = {
        {PatchMode::ByName, nullptr, "kernel32.dll", "GetTickCount", reinterpret_cast<void*>(&FixedTick)},
        {PatchMode::ByName, reinterpret_cast<HMODULE>(notAnImage.data()), "kernel32.dll", "GetTickCount",
         reinterpret_cast<void*>(&FixedTick)},
        {PatchMode::ByName, module, "nosuch.dll", "GetTickCount", reinterpret_cast<void*>(&FixedTick)},
        {PatchMode::ByName, module, "kernel32.dll", "NoSuchFunction", reinterpret_cast<void*>(&FixedTick)},
        {PatchMode::ByAddress, module, "kernel32.dll", "NoSuchFunction", reinterpret_cast<void*>(&FixedTick)},
        {PatchMode::DelayLoad, module, "kernel32.dll", "GetTickCount", reinterpret_cast<void*>(&FixedTick)},
        // The replacement has to be code.
        {PatchMode::ByName, module, "kernel32.dll", "GetTickCount", const_cast<BYTE*>(kData)},
        {PatchMode::ByName, module, "kernel32.dll", "GetTickCount", nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nullptr, CAPIHookBase::PatchImport(c.mode, c.module, c.dll, c.function, c.replacement))
            << c.dll << "!" << c.function;
        EXPECT_EQ(current, Slot("kernel32.dll", "GetTickCount"));
    }
    // A module that is not loaded gives no handle: nothing to install into.
    CKernel32Hook hook;
    EXPECT_FALSE(hook.Install(GetModuleHandleW(L"not-loaded-here.dll")));
    EXPECT_EQ(nullptr, hook.Previous());
}

TEST_F(APIHooksTest, TheClockRunsAheadByTheIdleOffsetAndTheCounterReadsZeroOnce)
{
    ASSERT_TRUE(Kernel32Hook().Install(module) || Kernel32Hook().Previous());
    ASSERT_TRUE(Kernel32QPCHook().Install(module) || Kernel32QPCHook().Previous());

    SetIdleOffset(600000);
    const DWORD ahead = tick() - GetTickCount();
    EXPECT_GE(ahead, 599000u);
    EXPECT_LE(ahead, 601000u);
    SetIdleOffset(0);
    EXPECT_LE(tick() - GetTickCount(), 1000u);

    ArmCounterReset(true);
    LARGE_INTEGER value = {};
    value.QuadPart = -1;
    EXPECT_TRUE(counter(&value));
    EXPECT_EQ(0, value.QuadPart);
    EXPECT_TRUE(counter(&value));
    EXPECT_GT(value.QuadPart, 0) << "only the first reading is reset";
    EXPECT_FALSE(counter(nullptr));
}

TEST_F(APIHooksTest, BrowserClicksAreSilencedAndOtherSoundsPassOn)
{
    // The frame's hook, put into our module's delay-loaded import.
    ASSERT_TRUE(IEFrameHook().Install(module));
    EXPECT_TRUE(sound(L"Navigating", SND_ALIAS | SND_NODEFAULT));
    EXPECT_TRUE(sound(L"ActivatingDocument", SND_ALIAS | SND_NODEFAULT));
    EXPECT_TRUE(sound(L"anything", SND_FILENAME | SND_ALIAS | SND_NOSTOP | SND_NODEFAULT | SND_ASYNC));
    // Anything else reaches the system, which knows no such sound.
    EXPECT_FALSE(sound(L"velmora-no-such-sound", SND_ALIAS | SND_NODEFAULT));
    // A resource id is not a name, even when it would read as one.
    EXPECT_FALSE(sound(MAKEINTRESOURCEW(5), SND_RESOURCE | SND_NODEFAULT));
}

} // namespace
