#include "support/publisher_check.h"

#include <softpub.h>
#include <imagehlp.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "support/platform_calls.h"
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

// The signature block of the open program: its first certificate entry, read through the
// handle, so that it comes from the very bytes that are held.
std::vector<BYTE> ReadSignatureBlock(HANDLE file)
{
    DWORD size = 0;
    ::ImageGetCertificateData(file, 0, nullptr, &size);
    if (size <= offsetof(WIN_CERTIFICATE, bCertificate)) return {};
    std::vector<BYTE> entry(size);
    auto* certificate = reinterpret_cast<WIN_CERTIFICATE*>(entry.data());
    if (!::ImageGetCertificateData(file, 0, certificate, &size) || size != entry.size() ||
        certificate->wCertificateType != WIN_CERT_TYPE_PKCS_SIGNED_DATA || certificate->dwLength > size ||
        certificate->dwLength <= offsetof(WIN_CERTIFICATE, bCertificate))
        return {};
    return std::vector<BYTE>(certificate->bCertificate,
                             certificate->bCertificate + (certificate->dwLength - offsetof(WIN_CERTIFICATE, bCertificate)));
}

bool FindEmbeddedSigner(HANDLE file, EmbeddedSigner& signer)
{
    std::vector<BYTE> block = ReadSignatureBlock(file);
    if (block.empty()) return false;
    CRYPT_DATA_BLOB blob{static_cast<DWORD>(block.size()), block.data()};
    DWORD encoding = 0;
    DWORD contentType = 0;
    DWORD formatType = 0;
    HCERTSTORE rawStore = nullptr;
    HCRYPTMSG rawMessage = nullptr;
    const BOOL queried = ::CryptQueryObject(CERT_QUERY_OBJECT_BLOB, &blob, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED,
                                            CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType,
                                            &rawStore, &rawMessage, nullptr);
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
// the signature carries: the machine's chain engine, so that a root a program of the user
// put into the user's own store does not count. Its validity period does not count, so
// that releases signed before the certificate expired keep starting; revocation is not
// asked for, since no network is assumed.
bool ChainsToTrustedRoot(PCCERT_CONTEXT certificate, HCERTSTORE signatureStore)
{
    CERT_CHAIN_PARA parameters = {};
    parameters.cbSize = sizeof parameters;
    PCCERT_CHAIN_CONTEXT rawChain = nullptr;
    if (!::CertGetCertificateChain(HCCE_LOCAL_MACHINE, certificate, nullptr, signatureStore, &parameters, 0, nullptr,
                                   &rawChain))
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

// The signer record only names a certificate: the signature over the signed content must
// have been made with that certificate's key, or anyone could name the maker's.
bool IsSignedByCertificate(HCRYPTMSG message, PCCERT_CONTEXT certificate)
{
    CMSG_CTRL_VERIFY_SIGNATURE_EX_PARA verify = {};
    verify.cbSize = sizeof verify;
    verify.dwSignerIndex = 0;
    verify.dwSignerType = CMSG_VERIFY_SIGNER_CERT;
    verify.pvSigner = const_cast<CERT_CONTEXT*>(certificate);
    return ::CryptMsgControl(message, 0, CMSG_CTRL_VERIFY_SIGNATURE_EX, &verify);
}

// The file's digest must match the one its signature covers; a changed byte fails.
bool IsSignatureIntact(HANDLE file, const std::wstring& path)
{
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = path.c_str();
    fileInfo.hFile = file;

    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_HASH_ONLY_FLAG;

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG status = Platform().winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    Platform().winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return status == ERROR_SUCCESS;
}

} // namespace

bool VerifyPublisherSignature(HANDLE file, const std::wstring& path)
{
    if (!IsValidHandle(file) || path.empty()) return false;
    EmbeddedSigner signer;
    return FindEmbeddedSigner(file, signer) && IsMakersCertificate(signer.certificate.get()) &&
           ChainsToTrustedRoot(signer.certificate.get(), signer.store.get()) &&
           IsSignedByCertificate(signer.message.get(), signer.certificate.get()) && IsSignatureIntact(file, path);
}

} // namespace vl
