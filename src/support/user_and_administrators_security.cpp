#include "support/user_and_administrators_security.h"

#include "support/win_handles.h"

namespace vl {

namespace {

bool MakeWellKnownSid(WELL_KNOWN_SID_TYPE type, std::vector<BYTE>& sid)
{
    DWORD size = SECURITY_MAX_SID_SIZE;
    sid.resize(size);
    if (!::CreateWellKnownSid(type, nullptr, sid.data(), &size)) return false;
    sid.resize(size);
    return true;
}

} // namespace

UserAndAdministratorsSecurity::UserAndAdministratorsSecurity()
{
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return;
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return;
    m_tokenUser.resize(size);
    if (!::GetTokenInformation(token.get(), TokenUser, m_tokenUser.data(), size, &size) ||
        !MakeWellKnownSid(WinBuiltinAdministratorsSid, m_administrators) ||
        !MakeWellKnownSid(WinLocalSystemSid, m_system))
        return;
    const PSID sids[] = {reinterpret_cast<TOKEN_USER*>(m_tokenUser.data())->User.Sid, m_administrators.data(),
                         m_system.data()};

    DWORD aclSize = sizeof(ACL);
    for (PSID sid : sids) aclSize += sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(sid);
    m_acl.resize(aclSize);
    auto* acl = reinterpret_cast<ACL*>(m_acl.data());
    if (!::InitializeAcl(acl, aclSize, ACL_REVISION)) return;
    for (PSID sid : sids)
        if (!::AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid)) return;
    if (!::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE))
        return;
    m_attributes.nLength = sizeof m_attributes;
    m_attributes.lpSecurityDescriptor = &m_descriptor;
    m_attributes.bInheritHandle = FALSE;
    m_valid = true;
}

} // namespace vl
