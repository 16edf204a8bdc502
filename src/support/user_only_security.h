// Security attributes that let only the current user open an object: its owner's SID is the
// one entry of the access list. An elevated process of the same user has the same SID.
#pragma once

#include <windows.h>

#include <vector>

namespace vl {

class UserOnlySecurity {
public:
    UserOnlySecurity();
    UserOnlySecurity(const UserOnlySecurity&) = delete;
    UserOnlySecurity& operator=(const UserOnlySecurity&) = delete;

    // Null when the user's SID could not be read: then nothing is created with weaker
    // security by mistake, the caller fails instead.
    SECURITY_ATTRIBUTES* Attributes() { return m_valid ? &m_attributes : nullptr; }

private:
    std::vector<BYTE> m_tokenUser;
    std::vector<BYTE> m_acl;
    SECURITY_DESCRIPTOR m_descriptor{};
    SECURITY_ATTRIBUTES m_attributes{};
    bool m_valid = false;
};

} // namespace vl
