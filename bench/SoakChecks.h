#pragma once

#include <cstdio>
#include <string>

// The checks of a soak: one printed line each, and whether any failed.
class TSoakChecks {
public:
    void Expect(bool ok, const std::string& what)
    {
        std::printf("  [%s] %s\n", ok ? " ok " : "FAIL", what.c_str());
        m_failed |= !ok;
    }
    bool Failed() const { return m_failed; }

private:
    bool m_failed = false;
};
