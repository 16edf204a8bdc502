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

// The signer's certificate must be the maker's: its serial and its subject's name.
bool IsSignedByMaker(const std::wstring& path)
{
    UniqueCertStore store;
    UniqueCryptMsg message;
    DWORD encoding = 0;
    DWORD contentType = 0;
    DWORD formatType = 0;
    HCERTSTORE rawStore = nullptr;
    HCRYPTMSG rawMessage = nullptr;
    const BOOL queried = ::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(),
                                            CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED, CERT_QUERY_FORMAT_FLAG_BINARY,
                                            0, &encoding, &contentType, &formatType, &rawStore, &rawMessage, nullptr);
    store.reset(rawStore);
    message.reset(rawMessage);
    if (!queried) return false;

    DWORD size = 0;
    if (!::CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) || size == 0) return false;
    std::unique_ptr<BYTE[]> signerBlock(new (std::nothrow) BYTE[size]());
    if (!signerBlock) return false;
    if (!::CryptMsgGetParam(message.get(), CMSG_SIGNER_INFO_PARAM, 0, signerBlock.get(), &size)) return false;
    const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(signerBlock.get());

    CERT_INFO wanted = {};
    wanted.Issuer = signer->Issuer;
    wanted.SerialNumber = signer->SerialNumber;
    const UniqueCertContext certificate(::CertFindCertificateInStore(store.get(), kEncoding, 0,
                                                                     CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
    if (!certificate) return false;

    const CRYPT_INTEGER_BLOB& serial = certificate.get()->pCertInfo->SerialNumber;
    if (FormatSerialText(serial.pbData, serial.cbData) != VL_PUBLISHER_SERIAL) return false;

    wchar_t name[kNameCapacity] = {};
    ::CertGetNameStringW(certificate.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, kNameCapacity);
    return std::wstring_view(name) == kPublisherName;
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
    return IsSignedByMaker(path) && IsSignatureIntact(path);
}

} // namespace vl
