#include "support/publisher_check.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <memory>
#include <new>

#include "support/portable/serial_text.h"
#include "support/win_handles.h"

namespace vl {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr DWORD kNameCapacity = 1024;

// The embedded signature of a file: the certificates it carries and its first signer's.
struct EmbeddedSigner {
    UniqueCertStore store;
    UniqueCryptMsg message;
    UniqueCertContext certificate;
};

bool FindEmbeddedSigner(const std::wstring& path, EmbeddedSigner& signer)
{
    DWORD encoding = 0;
    DWORD contentType = 0;
    DWORD formatType = 0;
    HCERTSTORE rawStore = nullptr;
    HCRYPTMSG rawMessage = nullptr;
    const BOOL queried = ::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(),
                                            CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED, CERT_QUERY_FORMAT_FLAG_BINARY,
                                            0, &encoding, &contentType, &formatType, &rawStore, &rawMessage, nullptr);
    signer.store.reset(rawStore);
    signer.message.reset(rawMessage);
    if (!queried) return false;

    DWORD size = 0;
    if (!::CryptMsgGetParam(signer.message.get(), CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) || size == 0)
        return false;
    std::unique_ptr<BYTE[]> signerBlock(new (std::nothrow) BYTE[size]());
    if (!signerBlock) return false;
    if (!::CryptMsgGetParam(signer.message.get(), CMSG_SIGNER_INFO_PARAM, 0, signerBlock.get(), &size)) return false;
    const auto* info = reinterpret_cast<const CMSG_SIGNER_INFO*>(signerBlock.get());

    CERT_INFO wanted = {};
    wanted.Issuer = info->Issuer;
    wanted.SerialNumber = info->SerialNumber;
    signer.certificate.reset(::CertFindCertificateInStore(signer.store.get(), kEncoding, 0, CERT_FIND_SUBJECT_CERT,
                                                          &wanted, nullptr));
    return signer.certificate.valid();
}

// The certificate must be the maker's: its serial and its subject's name.
bool IsMakersCertificate(PCCERT_CONTEXT certificate)
{
    const CRYPT_INTEGER_BLOB& serial = certificate->pCertInfo->SerialNumber;
    if (FormatSerialText(serial.pbData, serial.cbData) != VL_PUBLISHER_SERIAL) return false;

    wchar_t name[kNameCapacity] = {};
    ::CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, kNameCapacity);
    return std::wstring_view(name) == kPublisherName;
}

// Serial and name alone are public: anyone can put them in a certificate of their own.
// The certificate must also chain to a root this machine trusts, through the certificates
// the signature carries. Its validity period does not count, so that releases signed
// before the certificate expired keep starting; revocation is not asked for, since no
// network is assumed.
bool ChainsToTrustedRoot(PCCERT_CONTEXT certificate, HCERTSTORE signatureStore)
{
    CERT_CHAIN_PARA parameters = {};
    parameters.cbSize = sizeof parameters;
    PCCERT_CHAIN_CONTEXT rawChain = nullptr;
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, signatureStore, &parameters, 0, nullptr, &rawChain))
        return false;
    const UniqueCertChain chain(rawChain);
    // Wine's policy check passes a partial chain, one whose issuer is nowhere to be found:
    // the chain's own status must be clean as well, apart from the validity periods.
    constexpr DWORD kTimeErrors =
        CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED | CERT_TRUST_CTL_IS_NOT_TIME_VALID;
    if (chain.get()->TrustStatus.dwErrorStatus & ~kTimeErrors) return false;

    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_NOT_TIME_VALID_FLAGS;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    return ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_BASE, chain.get(), &policy, &status) &&
           status.dwError == ERROR_SUCCESS;
}

// The file's digest must match the one its signature covers; a changed byte fails.
bool IsSignatureIntact(const std::wstring& path)
{
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();

    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_HASH_ONLY_FLAG;

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG status = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return status == ERROR_SUCCESS;
}

} // namespace

bool VerifyPublisherSignature(const std::wstring& path)
{
    if (path.empty()) return false;
    EmbeddedSigner signer;
    return FindEmbeddedSigner(path, signer) && IsMakersCertificate(signer.certificate.get()) &&
           ChainsToTrustedRoot(signer.certificate.get(), signer.store.get()) && IsSignatureIntact(path);
}

} // namespace vl
