// Security attributes that let the current user, the administrators (BUILTIN\Administrators)
// and the system (LocalSystem) open an object, and nobody else. An elevated process of the
// same user has the user's SID; on a standard account, elevation runs the program as an
// administrator, another account, which the administrators' entry admits.
#pragma once

#include <windows.h>

#include <vector>

namespace vl {

class UserAndAdministratorsSecurity {
public:
    UserAndAdministratorsSecurity();
    UserAndAdministratorsSecurity(const UserAndAdministratorsSecurity&) = delete;
    UserAndAdministratorsSecurity& operator=(const UserAndAdministratorsSecurity&) = delete;

    // Null when a SID could not be made: then nothing is created with weaker security by
    // mistake, the caller fails instead.
    SECURITY_ATTRIBUTES* Attributes() { return m_valid ? &m_attributes : nullptr; }

private:
    std::vector<BYTE> m_tokenUser;
    std::vector<BYTE> m_administrators;
    std::vector<BYTE> m_system;
    std::vector<BYTE> m_acl;
    SECURITY_DESCRIPTOR m_descriptor{};
    SECURITY_ATTRIBUTES m_attributes{};
    bool m_valid = false;
};

} // namespace vl
