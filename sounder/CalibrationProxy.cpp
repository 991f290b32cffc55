// The calibration component's interface as its proxy carries it to the
// component's process: the two methods the program calls, by their slots.
#include "sounder/Calibration.h"

namespace {

class CCalibrationProxy final : public TLocalServerProxy<ICalibration>
{
public:
    using TLocalServerProxy::TLocalServerProxy;
    HRESULT Unused3() override { return E_NOTIMPL; }
    HRESULT Unused4() override { return E_NOTIMPL; }
    HRESULT Unused5() override { return E_NOTIMPL; }
    HRESULT Unused6() override { return E_NOTIMPL; }
    HRESULT SetParameter(BSTR name, VARIANT value) override
    {
        VARIANT n;
        n.vt = VT_BSTR;
        n.bstrVal = name;
        return Call(7, {&n, &value});
    }
    HRESULT AddTargets(BSTR time, BSTR date, VARIANT count, VARIANT values) override
    {
        VARIANT t, d;
        t.vt = VT_BSTR;
        t.bstrVal = time;
        d.vt = VT_BSTR;
        d.bstrVal = date;
        return Call(8, {&t, &d, &count, &values});
    }
};

IUnknown* CreateProxy(std::shared_ptr<CLocalServerConnection> connection)
{
    return static_cast<ICalibration*>(new CCalibrationProxy(std::move(connection), IID_ICalibration));
}

}  // namespace

void RegisterCalibrationProxy()
{
    CoRegisterInterfaceProxy(IID_ICalibration, CreateProxy);
}
