// An HTML document that answers none of its members: the base of the host's page
// document, which overrides the few a control reads.
#pragma once

#include <windows.h>
#include <mshtml.h>

#include "typeless_dispatch.h"

namespace vl::pagehost {

#define VL_REFUSED(name, ...) \
    STDMETHODIMP name(__VA_ARGS__) override { return E_NOTIMPL; }
#define VL_REFUSED_PROPERTY(name, T) VL_REFUSED(put_##name, T) VL_REFUSED(get_##name, T*)
#define VL_REFUSED_GETTER(name, T) VL_REFUSED(get_##name, T*)

// The members are reached through the vtable only.
class HtmlDocumentStub : public TypelessDispatch<IHTMLDocument2> {
public:
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

    // IHTMLDocument
    VL_REFUSED_GETTER(Script, IDispatch*)

    // IHTMLDocument2
    VL_REFUSED_GETTER(all, IHTMLElementCollection*)
    VL_REFUSED_GETTER(body, IHTMLElement*)
    VL_REFUSED_GETTER(activeElement, IHTMLElement*)
    VL_REFUSED_GETTER(images, IHTMLElementCollection*)
    VL_REFUSED_GETTER(applets, IHTMLElementCollection*)
    VL_REFUSED_GETTER(links, IHTMLElementCollection*)
    VL_REFUSED_GETTER(forms, IHTMLElementCollection*)
    VL_REFUSED_GETTER(anchors, IHTMLElementCollection*)
    VL_REFUSED_PROPERTY(title, BSTR)
    VL_REFUSED_GETTER(scripts, IHTMLElementCollection*)
    VL_REFUSED_PROPERTY(designMode, BSTR)
    VL_REFUSED_GETTER(selection, IHTMLSelectionObject*)
    VL_REFUSED_GETTER(readyState, BSTR)
    VL_REFUSED_GETTER(frames, IHTMLFramesCollection2*)
    VL_REFUSED_GETTER(embeds, IHTMLElementCollection*)
    VL_REFUSED_GETTER(plugins, IHTMLElementCollection*)
    VL_REFUSED_PROPERTY(alinkColor, VARIANT)
    VL_REFUSED_PROPERTY(bgColor, VARIANT)
    VL_REFUSED_PROPERTY(fgColor, VARIANT)
    VL_REFUSED_PROPERTY(linkColor, VARIANT)
    VL_REFUSED_PROPERTY(vlinkColor, VARIANT)
    VL_REFUSED_GETTER(referrer, BSTR)
    VL_REFUSED_GETTER(location, IHTMLLocation*)
    VL_REFUSED_GETTER(lastModified, BSTR)
    VL_REFUSED(put_URL, BSTR)
    VL_REFUSED(get_URL, BSTR*)
    VL_REFUSED_PROPERTY(domain, BSTR)
    VL_REFUSED_PROPERTY(cookie, BSTR)
    VL_REFUSED_PROPERTY(expando, VARIANT_BOOL)
    VL_REFUSED_PROPERTY(charset, BSTR)
    VL_REFUSED_PROPERTY(defaultCharset, BSTR)
    VL_REFUSED_GETTER(mimeType, BSTR)
    VL_REFUSED_GETTER(fileSize, BSTR)
    VL_REFUSED_GETTER(fileCreatedDate, BSTR)
    VL_REFUSED_GETTER(fileModifiedDate, BSTR)
    VL_REFUSED_GETTER(fileUpdatedDate, BSTR)
    VL_REFUSED_GETTER(security, BSTR)
    VL_REFUSED_GETTER(protocol, BSTR)
    VL_REFUSED_GETTER(nameProp, BSTR)
    VL_REFUSED(write, SAFEARRAY*)
    VL_REFUSED(writeln, SAFEARRAY*)
    VL_REFUSED(open, BSTR, VARIANT, VARIANT, VARIANT, IDispatch**)
    VL_REFUSED(close)
    VL_REFUSED(clear)
    VL_REFUSED(queryCommandSupported, BSTR, VARIANT_BOOL*)
    VL_REFUSED(queryCommandEnabled, BSTR, VARIANT_BOOL*)
    VL_REFUSED(queryCommandState, BSTR, VARIANT_BOOL*)
    VL_REFUSED(queryCommandIndeterm, BSTR, VARIANT_BOOL*)
    VL_REFUSED(queryCommandText, BSTR, BSTR*)
    VL_REFUSED(queryCommandValue, BSTR, VARIANT*)
    VL_REFUSED(execCommand, BSTR, VARIANT_BOOL, VARIANT, VARIANT_BOOL*)
    VL_REFUSED(execCommandShowHelp, BSTR, VARIANT_BOOL*)
    VL_REFUSED(createElement, BSTR, IHTMLElement**)
    VL_REFUSED_PROPERTY(onhelp, VARIANT)
    VL_REFUSED_PROPERTY(onclick, VARIANT)
    VL_REFUSED_PROPERTY(ondblclick, VARIANT)
    VL_REFUSED_PROPERTY(onkeyup, VARIANT)
    VL_REFUSED_PROPERTY(onkeydown, VARIANT)
    VL_REFUSED_PROPERTY(onkeypress, VARIANT)
    VL_REFUSED_PROPERTY(onmouseup, VARIANT)
    VL_REFUSED_PROPERTY(onmousedown, VARIANT)
    VL_REFUSED_PROPERTY(onmousemove, VARIANT)
    VL_REFUSED_PROPERTY(onmouseout, VARIANT)
    VL_REFUSED_PROPERTY(onmouseover, VARIANT)
    VL_REFUSED_PROPERTY(onreadystatechange, VARIANT)
    VL_REFUSED_PROPERTY(onafterupdate, VARIANT)
    VL_REFUSED_PROPERTY(onrowexit, VARIANT)
    VL_REFUSED_PROPERTY(onrowenter, VARIANT)
    VL_REFUSED_PROPERTY(ondragstart, VARIANT)
    VL_REFUSED_PROPERTY(onselectstart, VARIANT)
    VL_REFUSED(elementFromPoint, LONG, LONG, IHTMLElement**)
    VL_REFUSED_GETTER(parentWindow, IHTMLWindow2*)
    VL_REFUSED_GETTER(styleSheets, IHTMLStyleSheetsCollection*)
    VL_REFUSED_PROPERTY(onbeforeupdate, VARIANT)
    VL_REFUSED_PROPERTY(onerrorupdate, VARIANT)
    VL_REFUSED(toString, BSTR*)
    VL_REFUSED(createStyleSheet, BSTR, LONG, IHTMLStyleSheet**)
};

#undef VL_REFUSED_GETTER
#undef VL_REFUSED_PROPERTY
#undef VL_REFUSED

} // namespace vl::pagehost
