// The sensor and output objects that exist today, in the shape the
// application object creates and closes them. Each is made by its row of the
// creation table (CProgram::FillSensorTable).
#pragma once

#include "app/SensorObject.h"
#include "engine/Fish.h"
#include "outputs/LX750.h"
#include "outputs/Lobe.h"
#include "outputs/OutputSlot.h"
#include "outputs/QYNet.h"
#include "outputs/QYSerial.h"
#include "outputs/QYTriton.h"
#include "outputs/RDDialog.h"
#include "outputs/RemoteControl.h"
#include "sensors/GeographicInfo.h"
#include "sensors/GyroCompass.h"
#include "sensors/Heave.h"
#include "sensors/Navigation.h"
#include "sensors/NmeaDepth.h"
#include "sensors/PurseSeine.h"
#include "sensors/SensorHost.h"
#include "sensors/SvpProbe.h"
#include "sensors/Temperature.h"
#include "sensors/Trawl.h"

namespace app {

class CPelmaris;
class CProgram;

// What the serial sensors ask of the program: whether it replays, when what
// their lines bring is neither shown nor decoded.
class CProgramSensorHost final : public ISensorHost
{
public:
    explicit CProgramSensorHost(CPelmaris& application) : m_application(application) {}
    bool IsReplaying() const override;

private:
    CPelmaris& m_application;
};

// A sensor with a settings dialog, made by the program it links into.
template <class Sensor>
class TProgramSensorObject : public TSensorObject<Sensor>
{
public:
    TProgramSensorObject(CProgram& program, std::shared_ptr<Sensor> sensor)
        : TSensorObject<Sensor>(std::move(sensor)), m_program(program)
    {}
    bool HasSettingsDialog() const override { return true; }

protected:
    CProgram& m_program;
};

// The navigation input: the checked open of its serial component, then its
// settings, and from its start the decoder's settings and clock, the
// channels' depth line and navigation's speed, until it closes. Behind
// "Navigation...".
class CNavigationObject final : public TProgramSensorObject<CNavigation>
{
public:
    using TProgramSensorObject::TProgramSensorObject;
    ~CNavigationObject() override { Unlink(); }
    long Setup() override { return Get()->OpenPort(); }
    void TakeKey(HKEY key) override { Get()->Load(key); }
    void Start() override;
    void SetSourceList(const std::vector<std::string>& names) override { Get()->SetSourceList(names); }
    void Close() override;
    void RunSettingsDialog() override;

private:
    void Unlink();
};

// The trawl system's line: the checked open, its settings, and from its
// start the units' trawl data and the channels' depth line, until it
// closes. Behind "Trawl...".
class CTrawlObject final : public TProgramSensorObject<CTrawl>
{
public:
    using TProgramSensorObject::TProgramSensorObject;
    ~CTrawlObject() override { Unlink(); }
    long Setup() override { return Get()->OpenSerialPort(); }
    void TakeKey(HKEY key) override { Get()->SetSettingsKey(key); }
    void Start() override;
    void SetSourceList(const std::vector<std::string>& names) override { Get()->SetChannelList(names); }
    void Close() override;
    void RunSettingsDialog() override;

private:
    void Unlink();
};

// The purse seine's net sensors: the checked open of its serial component,
// its settings, and from its start the echograms' net sensor marks and the
// channels' depth line, until it closes. Behind "Purse Seine...".
class CPurseSeineObject final : public TProgramSensorObject<CPurseSeine>
{
public:
    using TProgramSensorObject::TProgramSensorObject;
    ~CPurseSeineObject() override { Unlink(); }
    long Setup() override { return Get()->OpenSerialComponent(); }
    void TakeKey(HKEY key) override { Get()->OpenPort(key); }
    void Start() override;
    void SetSourceList(const std::vector<std::string>& names) override { Get()->SetChannelList(names); }
    void Close() override;
    void RunSettingsDialog() override;

private:
    void Unlink();
};

// The motion sensor: no checked set-up; its settings, then its port opened
// whatever its mode says, and from then on the channels' and units' motion,
// the units' motion voltages and its depth line, until it closes. Behind
// "Heave...".
class CHeaveObject final : public TProgramSensorObject<CHeave>
{
public:
    using TProgramSensorObject::TProgramSensorObject;
    ~CHeaveObject() override { Unlink(); }
    void TakeKey(HKEY key) override { Get()->Initialise(key); }
    void Start() override;
    void SetTransceiverList(const std::vector<std::string>& names) override { Get()->SetTransceiverList(names); }
    void SetSourceList(const std::vector<std::string>& names) override { Get()->SetSourceList(names); }
    void Close() override;
    void RunSettingsDialog() override;

private:
    void Unlink();
};

// A serial input with no checked set-up: its settings, then its port opened
// at start whatever its switch says. Its lines go to the decoder.
template <class Sensor>
class TPortSensorObject : public TProgramSensorObject<Sensor>
{
public:
    using TProgramSensorObject<Sensor>::TProgramSensorObject;
    void TakeKey(HKEY key) override { this->Get()->LoadSettings(key); }
    void Start() override { this->Get()->OpenPort(); }
    void Close() override { this->Get()->ClosePort(); }
};

// The heading input, behind "Heading...".
class CHeadingObject final : public TPortSensorObject<CGyroCompass>
{
public:
    using TPortSensorObject::TPortSensorObject;
    void RunSettingsDialog() override;
};

// The outside depth input, behind "NMEA Depth...".
class CNmeaDepthObject final : public TPortSensorObject<CNmeaDepth>
{
public:
    using TPortSensorObject::TPortSensorObject;
    void RunSettingsDialog() override;
};

// The water temperature: its line opened (kept when it does not open), its
// settings and the transceivers to choose from, and from its start the
// temperature the status bar, replay and the outputs read and the units'
// thermistor readings, until it closes. Behind "Temperature...".
class CTemperatureObject final : public TProgramSensorObject<CTemperature>
{
public:
    using TProgramSensorObject::TProgramSensorObject;
    ~CTemperatureObject() override { Unlink(); }
    long Setup() override { return Get()->OpenPort(); }
    void TakeKey(HKEY key) override { Get()->LoadSettings(key); }
    void Start() override;
    void SetSourceList(const std::vector<std::string>& names) override { Get()->SetSourceList(names); }
    void Close() override;
    void RunSettingsDialog() override;

private:
    void Unlink();
};

// The sound velocity probe: its settings, then its worker and line from
// start until close. Behind "SVP...".
class CSvpProbeObject final : public TProgramSensorObject<CSvpProbe>
{
public:
    using TProgramSensorObject::TProgramSensorObject;
    void TakeKey(HKEY key) override { Get()->LoadEnabled(key); }
    void Start() override { Get()->StartReader(); }
    void Close() override { Get()->StopReader(); }
    void RunSettingsDialog() override;
};

// The geographic history: shared with the program, so that a telegram
// decoded or a ping added while the sensors close never reaches a deleted
// one. Deleting it at close empties it.
class CGeographicInfoObject final : public TSensorObject<CGeographicInfo>
{
public:
    using TSensorObject::TSensorObject;
    ~CGeographicInfoObject() override { Get()->Reset(); }
};

// The fish size settings, behind "Fish...".
class CFishObject final : public TSensorObject<CFish>
{
public:
    using TSensorObject::TSensorObject;
    bool HasSettingsDialog() const override { return true; }
    void RunSettingsDialog() override { Get()->ShowDialog(); }
};

// An output's object: its slot of the output list hands the output
// everything from the moment it is made until it goes, and nothing while it
// goes.
template <class T>
class TOutputObject : public TSensorObject<T>
{
public:
    TOutputObject(COutputSlot& slot, std::shared_ptr<T> output) : TSensorObject<T>(std::move(output)), m_slot(slot)
    {
        m_slot.Attach(*this->Get());
    }
    ~TOutputObject() override { m_slot.Detach(); }

private:
    COutputSlot& m_slot;
};

// The network output, behind "Network Interface...": its receiving port feeds the telegram decoder and
// hands over the profiles it receives; the object positions it sends go
// into the recorder's geo file as well.
class CNetworkOutputObject final : public TOutputObject<CQYNet>
{
public:
    CNetworkOutputObject(CProgram& program, COutputSlot& slot, std::shared_ptr<CQYNet> net);
    // Its reader calls into the program: it ends before the object goes.
    ~CNetworkOutputObject() override { Get()->Port().Close(); }
    void Start() override;
    bool HasSettingsDialog() const override { return true; }
    void RunSettingsDialog() override;
    // A received profile, stored and announced as every road does; false
    // when it could not be written.
    bool StoreProfile(const CSvpProfile& profile);

private:
    CProgram& m_program;
};

// The serial I/O hub: the depth telegrams' heave rule reads it from its
// making on; its line opens after the whole table (its set-up is deferred),
// then it takes its key. Behind "Serial Interface...".
class CSerialOutputObject final : public TOutputObject<CQYSerial>
{
public:
    CSerialOutputObject(CProgram& program, COutputSlot& slot, std::shared_ptr<CQYSerial> hub);
    ~CSerialOutputObject() override;
    long Setup() override { return Get()->OpenSerialComponent(); }
    void TakeKey(HKEY key) override { Get()->ApplySettings(key); }
    void Close() override;
    bool HasSettingsDialog() const override { return true; }
    void RunSettingsDialog() override;

private:
    CProgram& m_program;
};

// The remote control: from its slot of the output list it takes the
// remote-control telegrams the decoder hands on.
using CRemoteControlObject = TOutputObject<CRemoteControl>;

// The remote display: its device opened at start-up (the object dropped
// without the serial component), then its settings; it takes the pings from
// its slot of the output list until it goes. Behind "Remote Display...".
class CRemoteDisplayObject final : public TOutputObject<CRDDialog>
{
public:
    CRemoteDisplayObject(CProgram& program, COutputSlot& slot, std::shared_ptr<CRDDialog> display)
        : TOutputObject(slot, std::move(display)), m_program(program)
    {}
    long Setup() override { return Get()->OpenPort(); }
    void TakeKey(HKEY key) override { Get()->SetSettingsKey(key); }
    void Close() override { Get()->ClosePort(); }
    bool HasSettingsDialog() const override { return true; }
    void RunSettingsDialog() override;

private:
    CProgram& m_program;
};

// The lobe link: its component opened at start-up (the object dropped
// without it); from its start the main frame hands it the commands its line
// received and the channels their echo-trace telegrams, until it closes.
// Behind "Lobe...".
class CLobeObject final : public TSensorObject<CLobe>
{
public:
    CLobeObject(CProgram& program, std::shared_ptr<CLobe> lobe) : TSensorObject(std::move(lobe)), m_program(program) {}
    ~CLobeObject() override { Unlink(); }
    long Setup() override { return Get()->OpenPort(); }
    void Start() override;
    void Close() override;
    bool HasSettingsDialog() const override { return true; }
    void RunSettingsDialog() override;
    // What a "/TRANSCEIVER" command reads of a channel of the running
    // sounder (user-interface thread).
    static std::optional<CLobe::SChannelItems> ChannelItems(CProgram& program, int channel);

private:
    void Unlink();
    CProgram& m_program;
};

// The post-processing output, behind "LX750...".
class CPostProcessingObject final : public TOutputObject<CLX750>
{
public:
    CPostProcessingObject(CProgram& program, COutputSlot& slot, std::shared_ptr<CLX750> output)
        : TOutputObject(slot, std::move(output)), m_program(program)
    {}
    bool HasSettingsDialog() const override { return true; }
    void RunSettingsDialog() override;

private:
    CProgram& m_program;
};

// The raw-data output: every recorder's stream reaches it through the
// sounder host's raw-data link while it exists; behind "Raw Data...".
class CRawDataOutputObject final : public TSensorObject<CQYTriton>
{
public:
    CRawDataOutputObject(CProgram& program, std::shared_ptr<CQYTriton> output);
    ~CRawDataOutputObject() override;
    bool HasSettingsDialog() const override { return true; }
    void RunSettingsDialog() override;

private:
    CProgram& m_program;
};

}  // namespace app
