#include "ui/accessible_name.h"

#include "ui/com_ptr.h"

// The annotation's identifiers are defined in this file, as oleacc.h is meant
// to be used, so that no further library is needed.
#include <initguid.h>
#include <oleacc.h>

namespace {

UniqueCom<IAccPropServices> annotation_services() {
    UniqueCom<IAccPropServices> services;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, put_void(services))))
        services.reset();
    return services;
}

}  // namespace

bool set_accessible_name(HWND control, const wchar_t* name) {
    const UniqueCom<IAccPropServices> services = annotation_services();
    return services && SUCCEEDED(services.get()->SetHwndPropStr(
                           control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                           PROPID_ACC_NAME, name));
}

void clear_accessible_name(HWND control) {
    const UniqueCom<IAccPropServices> services = annotation_services();
    if (!services) return;
    MSAAPROPID name_property = PROPID_ACC_NAME;
    services.get()->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                   &name_property, 1);
}
