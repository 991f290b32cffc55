#include "app/Help.h"

#include <array>
#include <utility>

namespace app {

namespace {

struct ContextPage
{
    unsigned context;
    const char* page;
};

constexpr std::array<ContextPage, 49> kPages{{
    {0x2006D, "qor_svp_editor.html"},
    {0x20083, "qor_echogram.html"},
    {0x200D0, "qor_echogram.html"},
    {0x200D1, "qor_echogram.html"},
    {0x200FC, "qor_echogram.html"},
    {0x20085, "qor_bottom_detector.html"},
    {0x20086, "qor_colour_scale.html"},
    {0x200CE, "qor_colour_scale.html"},
    {0x200CF, "qor_colour_scale.html"},
    {0x20087, "qor_transceiver_settings.html"},
    {0x20088, "qor_echo_trace.html"},
    {0x2008E, "qor_surface_range.html"},
    {0x2008F, "qor_bottom_range.html"},
    {0x20090, "qor_trawl_range.html"},
    {0x20093, "qor_transceiver_installation.html"},
    {0x20095, "qor_operation.html"},
    {0x20105, "qor_operation.html"},
    {0x20096, "qor_layout.html"},
    {0x20099, "qor_replay.html"},
    {0x2009A, "qor_factory_settings.html"},
    {0x2009B, "qor_environment.html"},
    {0x2009D, "qor_store.html"},
    {0x200A0, "qor_annotation.html"},
    {0x200A1, "qor_history.html"},
    {0x200A8, "qor_trawl_interface.html"},
    {0x200AB, "qor_print.html"},
    {0x200C9, "qor_rs232_setup.html"},
    {0x200CA, "qor_navigation_interface.html"},
    {0x200CB, "qor_heave_sensor.html"},
    {0x200D4, "qor_advanced_transceiver.html"},
    {0x200D5, "qor_temperature_sensor.html"},
    {0x200D6, "qor_depth_output.html"},
    {0x200DA, "qor_ts_detection_parameters.html"},
    {0x200DB, "qor_lx750.html"},
    {0x200DC, "qor_advanced_navigation.html"},
    {0x200DD, "qor_fish.html"},
    {0x200DE, "qor_purse_seine.html"},
    {0x200E0, "qor_language.html"},
    {0x200E1, "qor_network_interface.html"},
    {0x200E2, "qor_serial_interface.html"},
    {0x200E3, "qor_slope_range.html"},
    {0x200E4, "qor_slope_settings.html"},
    {0x200EB, "qor_remote_display.html"},
    {0x200EF, "qor_store_echogram.html"},
    {0x200F1, "qor_sensor_setup.html"},
    {0x200F2, "qor_classification_interface.html"},
    {0x20104, "qor_pinger_mode.html"},
    {0x2010B, "qor_heading.html"},
    {0x20110, "qor_svp_real_time_smart_sensor.html"},
}};

}  // namespace

std::string CHelp::PageForContext(unsigned context)
{
    for (const auto& row : kPages)
        if (row.context == context)
            return row.page;
    return {};
}

std::string CHelp::PageForRequest(unsigned context, unsigned command)
{
    if (command == HELP_CONTEXT || command == HELP_CONTEXTPOPUP)
        return PageForContext(context);
    return kContentsPage;
}

std::string CHelp::Address(const std::string& helpFolder, const std::string& page)
{
    std::string address = helpFolder;
    if (!address.empty() && address.back() != '/')
        address += '/';
    address += page.empty() ? kDefaultPage : page;
    return address;
}

void CHelp::ShowHelp(unsigned context, unsigned command)
{
    ShowPage(PageForRequest(context, command));
}

void CHelp::ShowPage(const std::string& page)
{
    if (viewer)
        viewer(Address(m_folder, page));
}

}  // namespace app
