#include "result_event.h"

namespace vl::test {

ResultEvent::ResultEvent(VARTYPE numbers, ULONG cmd, ULONG serial, const std::wstring& params)
    : m_text(std::wstring_view(params))
{
    V_VT(&m_arguments[0]) = VT_BSTR;
    V_BSTR(&m_arguments[0]) = m_text.get();
    const ULONG values[] = {serial, cmd};
    for (int i = 0; i < 2; ++i) {
        VARIANT& number = m_arguments[i + 1];
        V_VT(&number) = numbers;
        if (numbers == VT_UI4)
            V_UI4(&number) = values[i];
        else
            V_I4(&number) = static_cast<LONG>(values[i]);
    }
    m_params = {m_arguments, nullptr, 3, 0};
}

} // namespace vl::test
