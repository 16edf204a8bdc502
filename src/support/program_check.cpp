#include "support/program_check.h"

#include <optional>

#include "support/publisher_check.h"
#include "support/widget_log.h"
#include "tables/portable/message_table.h"

namespace vl {

namespace {

// What failed, for the step log; empty for Passed.
const wchar_t* ProgramCheckText(ProgramCheck check)
{
    switch (check) {
    case ProgramCheck::Passed: return L"";
    case ProgramCheck::Missing: return L"is missing";
    case ProgramCheck::CannotHold: return L"cannot be held: another program has it open, or its way is changing";
    case ProgramCheck::SignatureFails: return L"fails the Torvane signature check";
    case ProgramCheck::VersionTooLow: return L"is older than the version rule allows";
    }
    return L"";
}

// The message of the table that the error box of a failed check shows, where it has one.
std::optional<int> ProgramCheckMessage(ProgramCheck check)
{
    switch (check) {
    case ProgramCheck::SignatureFails: return kSignatureErrorMessage;
    case ProgramCheck::CannotHold: return kComputerErrorMessage;
    default: return std::nullopt;
    }
}

} // namespace

ProgramCheck CheckProgram(const HeldProgramFile& program, bool verifyPublisher)
{
    if (program.Result() == HoldResult::Missing) return ProgramCheck::Missing;
    if (!verifyPublisher) return ProgramCheck::Passed;
    if (!program.Held()) return ProgramCheck::CannotHold;
    return VerifyPublisherSignature(program.Handle(), program.Path()) ? ProgramCheck::Passed
                                                                       : ProgramCheck::SignatureFails;
}

void LogFailedCheck(ProgramCheck check, const std::wstring& path, const wchar_t* prefix)
{
    if (check == ProgramCheck::SignatureFails) VL_LOG(L"%sthe Torvane signature was failed.\n", prefix);
    else VL_LOG(L"%s[%s] %s.\n", prefix, path.c_str(), ProgramCheckText(check));
}

void ShowFailedCheck(const CVLWidgetUtility& utility, ProgramCheck check, const std::wstring& path,
                     const wchar_t* sourceFile, int line)
{
    if (const std::optional<int> message = ProgramCheckMessage(check))
        utility.ShowErrorBox(utility.GetMessageText(*message) + L"\n(" + path + L")", sourceFile, line);
}

} // namespace vl
