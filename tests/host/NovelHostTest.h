#pragma once
// The base of host-level tests that run a novel: a novel folder with a Config.xml and a font, scenarios run in a
// forked child (see ChildReport.h), and the child's log read back afterwards.

#include "ChildReport.h"
#include "EditorSession.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <functional>
#include <string>

namespace hosttest
{

class NovelHostTest : public ::testing::Test
{
protected:
    /// The novel folder with configXml as its Config.xml and DejaVu Sans as Fonts/f.ttf.
    void PrepareNovel(const std::string& configXml)
    {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the host tests need an X server; run them under xvfb-run -a";
        // Text drawn by a scenario leaves Mesa's software driver with process-lifetime allocations; kept loaded, the
        // leak checker can name them (and the suppressions cover them) instead of reporting an unknown module.
        dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_LAZY | RTLD_NODELETE);
        testsupport::WriteFile(m_dir / "Config.xml", configXml);
        std::filesystem::create_directories(m_dir / "Fonts");
        std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", m_dir / "Fonts/f.ttf");
    }

    /// Runs the scenario in a child; its failed checks and its exit code fail the test.
    void Run(const std::function<void(ChildReport&)>& body)
    {
        const int code = RunScenario(m_dir.path(), body);
        EXPECT_EQ(code, 0) << ChildFailures(m_dir.path());
        m_log = testsupport::ReadFile(m_dir / "debug.txt");
    }

    /// Runs the scenario in a child as Run does, with the library loaded and an X connection of the host's own.
    void RunHosted(const std::function<void(const HostLibrary&, Display*, ChildReport&)>& body)
    {
        Run([&](ChildReport& report) {
            const HostLibrary library;
            const X11Connection x11;
            if (ReadyToHost(library, bool(x11), report))
                body(library, x11.get(), report);
        });
    }

    testsupport::TempDir m_dir;
    std::string m_log;
};

} // namespace hosttest
