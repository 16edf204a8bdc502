// The class factory and the module's class-object table.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <span>

#include "com_server/com_object.h"

namespace vl {

// Creates an instance, aggregated when `outer` is given; `out` is valid.
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);
// Creates the class factory of a class, recording its instance creator.
using FactoryCreator = HRESULT (*)(InstanceCreator createInstance, REFIID iid, void** out);
// Writes (true) or removes (false) the class's registry entries.
using RegistryUpdater = HRESULT (*)(bool doRegister);

class ClassFactory final : public ComObjectImpl<ClassFactory, IClassFactory> {
public:
    using Interfaces = InterfaceList<Interface<IClassFactory>>;

    explicit ClassFactory(InstanceCreator createInstance) : m_createInstance(createInstance) {}

    // The factory creator of every table entry.
    static HRESULT Create(InstanceCreator createInstance, REFIID iid, void** out);

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    InstanceCreator m_createInstance;
};

struct ClassObjectEntry {
    const CLSID* clsid;
    RegistryUpdater updateRegistry;
    FactoryCreator createFactory;
    InstanceCreator createInstance;
    IUnknown* factory; // cached by GetClassObject until ReleaseClassObjects
    const wchar_t* description; // none: every entry takes part in registration
    const GUID* categories; // none: no component categories are registered
};

// DllGetClassObject over a table: the entry's factory, created on first request under the
// module's class-object lock and handed out for every later request.
HRESULT GetClassObject(std::span<ClassObjectEntry> table, REFCLSID clsid, REFIID iid, void** out);
// At unload: releases and clears the cached factories.
void ReleaseClassObjects(std::span<ClassObjectEntry> table);

} // namespace vl
