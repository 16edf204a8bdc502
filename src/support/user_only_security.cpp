#include "support/user_only_security.h"

#include "support/win_handles.h"

namespace vl {

UserOnlySecurity::UserOnlySecurity()
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return;
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return;
    m_tokenUser.resize(size);
    if (!::GetTokenInformation(token.get(), TokenUser, m_tokenUser.data(), size, &size)) return;
    PSID user = reinterpret_cast<TOKEN_USER*>(m_tokenUser.data())->User.Sid;

    m_acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(user));
    auto* acl = reinterpret_cast<ACL*>(m_acl.data());
    if (!::InitializeAcl(acl, static_cast<DWORD>(m_acl.size()), ACL_REVISION) ||
        !::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, user) ||
        !::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE))
        return;
    m_attributes.nLength = sizeof m_attributes;
    m_attributes.lpSecurityDescriptor = &m_descriptor;
    m_attributes.bInheritHandle = FALSE;
    m_valid = true;
}

} // namespace vl
