// The module's exported entry points. Everything else stays inside.
#include "plugin/intrface.h"

KX_EXPORT HRESULT KX_STDCALL DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    return kx::GetClassObject(rclsid, riid, ppv);
}

KX_EXPORT HRESULT KX_STDCALL DllCanUnloadNow() { return kx::CanUnloadNow(); }

#if defined(_WIN32)
// The entry function does no work of its own.
extern "C" int KX_STDCALL DllMain(void*, unsigned long, void*) { return 1; }
#endif
