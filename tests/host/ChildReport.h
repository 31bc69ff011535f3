#pragma once
// Scenario bodies run in a forked child, where a gtest assertion would only reach the child's own copy of the
// test framework. The child notes each failed check instead and leaves the list in a file beside its log; the
// parent shows that file when the child's exit code says something went wrong.

#include "TestSupport.h"

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace hosttest
{

/// The file a child writes its failed checks to, in its current folder.
constexpr const char* kChildReportFile = "child-failures.txt";

class ChildReport
{
public:
    /// Notes what when ok is false; returns ok.
    bool Check(bool ok, const std::string& what)
    {
        if (!ok)
            m_failures.push_back(what);
        return ok;
    }

    /// Notes what, with both values, when actual differs from expected; returns whether they matched.
    template <typename A, typename B> bool Equal(const A& actual, const B& expected, const std::string& what)
    {
        if (actual == expected)
            return true;
        std::ostringstream text;
        text << what << ": got " << actual << ", expected " << expected;
        m_failures.push_back(text.str());
        return false;
    }

    /// The child's exit code: 0 when every check passed, else 1 with the failures written to kChildReportFile.
    int Finish() const
    {
        if (m_failures.empty())
            return 0;
        std::ofstream out(kChildReportFile);
        for (const std::string& failure : m_failures)
            out << failure << "\n";
        return 1;
    }

private:
    std::vector<std::string> m_failures;
};

/// Runs body in a forked child inside dir (see testsupport::RunInChild) and returns the child's exit code: 0 when
/// every check passed, 1 when one failed, anything else when the child died or its exit was not clean.
inline int RunScenario(const std::string& dir, const std::function<void(ChildReport&)>& body)
{
    return testsupport::RunInChild(dir, [&] {
        ChildReport report;
        body(report);
        return report.Finish();
    });
}

/// What a child left in kChildReportFile inside dir, for the parent's failure message.
inline std::string ChildFailures(const std::string& dir)
{
    return testsupport::ReadFile(dir + "/" + kChildReportFile);
}

} // namespace hosttest
