// What the module leaves in the host's thread when the host is done with it.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "support/DllPath.h"
#include "support/FakeHost.h"

using halvet::test::FakeHost;

TEST(ModuleUnloadTest, AfterFinalizeTheModuleUnloadsAndTheThreadsCOMStillWorks) {
    for (int round = 0; round < 2; ++round) {
        {
            FakeHost host;
            ASSERT_TRUE(host.loaded());
            EXPECT_EQ(host.initialize(), 1);  // reads its document on this thread
            host.send(L"CreateView", L"<v><parentViewPtr>0</parentViewPtr></v>");
            EXPECT_EQ(host.finalize(), 1);
        }
        // Nothing of the module holds it in memory once the host lets go.
        EXPECT_EQ(GetModuleHandleW(halvet::test::dllPath().c_str()), nullptr) << "round " << round;
        // Anything of the module still registered with COM on this thread
        // would be called here, in code no longer mapped.
        CoUninitialize();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK) << "round " << round;
    }
}

TEST(ModuleUnloadTest, WithoutFinalizeTheModuleStillUnloadsAndLeavesNothingInCOM) {
    {
        FakeHost host;
        ASSERT_TRUE(host.loaded());
        EXPECT_EQ(host.initialize(), 1);
        host.send(L"CreateView", L"<v><parentViewPtr>0</parentViewPtr></v>");
    }
    EXPECT_EQ(GetModuleHandleW(halvet::test::dllPath().c_str()), nullptr);
    CoUninitialize();
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
}
