// Numbers the application shell shares with every subsystem: private window
// messages of the main frame, operation command codes, menu command ids,
// timer ids, string and resource ids. They are part of the program's own
// interface (other folders post these), so they live in one place.
#pragma once

#include "base/ModelCodes.h"

#include <cstdint>

namespace app {

// Private window messages, all received by the main frame.
inline constexpr unsigned WM_ES_UPDATEALLVIEWS = 0x46E;
inline constexpr unsigned WM_ES_STATUSTEXT = 0x46F;
inline constexpr unsigned WM_ES_STATUSMESSAGE = 0x470;
inline constexpr unsigned WM_ES_EXECUTECOMMAND = 0x471;
inline constexpr unsigned WM_ES_OPERATIONCOMMAND = 0x472;
inline constexpr unsigned WM_ES_ANNOTATION = 0x473;
inline constexpr unsigned WM_ES_EVENTMESSAGE = 0x474;
inline constexpr unsigned WM_ES_NEWDATA = 0x475;
inline constexpr unsigned WM_ES_BACKGROUNDCOLOR = 0x476;
inline constexpr unsigned WM_ES_COLORTABLE = 0x477;
inline constexpr unsigned WM_ES_TELEGRAM = 0x478;
inline constexpr unsigned WM_ES_LOBECOMMAND = 0x479;
inline constexpr unsigned WM_ES_HISTORYMESSAGE = 0x47A;
inline constexpr unsigned WM_ES_ENVIRONMENTCHANGED = 0x47B;
inline constexpr unsigned WM_ES_SHOWCHANNELSTATUS = 0x47C;
inline constexpr unsigned WM_ES_UPDATECHANNELSTATUS = 0x47D;
inline constexpr unsigned WM_ES_HIDECHANNELSTATUS = 0x47E;
inline constexpr unsigned WM_ES_SHOWREPLAYBUTTONS = 0x47F;
inline constexpr unsigned WM_ES_HIDEREPLAYBUTTONS = 0x480;
inline constexpr unsigned WM_ES_SHOWPINGERREADY = 0x481;
inline constexpr unsigned WM_ES_SHOWPINGERSYNC = 0x482;
inline constexpr unsigned WM_ES_HIDEPINGERSYNC = 0x483;
inline constexpr unsigned WM_ES_PINGERDRIFT = 0x484;
inline constexpr unsigned WM_ES_SERIALANNOTATION = 0x485;
inline constexpr unsigned WM_ES_REPLAYTIME = 0x486;
inline constexpr unsigned WM_ES_UPDATETITLE = 0x487;

// Names of the two registered messages.
inline constexpr const char* kExitMessageName = "EXIT_ZELVAR_PELMARIS_NO_SHUTDOWN";
inline constexpr const char* kHelpMessageName = "HELP_REQUIRED_FROM_COM";

// Operation command codes, the wParam of WM_ES_OPERATIONCOMMAND and
// WM_ES_EXECUTECOMMAND; only OC_STOP takes an lParam and only
// OC_START_REPLAY a payload.
inline constexpr unsigned OC_STOP = 0x4000;  // lParam: the menu command to run after it, or 0
inline constexpr unsigned OC_DELETE_LAYOUT = 0x4001;
inline constexpr unsigned OC_STOP_AND_EXIT = 0x4002;
inline constexpr unsigned OC_CLOSE_SENSORS = 0x4003;
inline constexpr unsigned OC_START_REPLAY = 0x4004;  // payload: the CReplayFileList to replay
inline constexpr unsigned OC_START_NORMAL = 0x4005;
inline constexpr unsigned OC_NEW_LAYOUT = 0x4006;
inline constexpr unsigned OC_FACTORY_SETTINGS = 0x4007;
inline constexpr unsigned OC_DELETE_AND_RESTART = 0x4008;  // executed only, never queued

// Timers.
inline constexpr unsigned TIMER_WORKLOAD = 106;     // main frame, 2000 ms
inline constexpr unsigned TIMER_PING = 32784;       // main frame, async display
inline constexpr unsigned TIMER_STATUSBAR = 54083;  // status bar clock, 1000 ms
inline constexpr unsigned kWorkloadPeriodMs = 2000;
inline constexpr unsigned kNavigationCheckPeriodMs = 10000;

// Commands that reach the main frame as WM_COMMAND: the menus', the replay
// bar's, and those that objects post to the frame for one another.
namespace cmd {
inline constexpr unsigned PLAY = 1486;   // the replay bar's "Play": back to the configured ping rate
inline constexpr unsigned PAUSE = 1487;  // the replay bar's "Pause": single pings
inline constexpr unsigned STOP_SOUNDER = 32775;
inline constexpr unsigned ASYNC_MANUAL = 32776;
inline constexpr unsigned ASYNC_1SEC = 32777;
inline constexpr unsigned ASYNC_FAST = 32783;
inline constexpr unsigned DEPTH_UNIT_FIRST = 32804;
inline constexpr unsigned DEPTH_UNIT_LAST = 32807;
inline constexpr unsigned PALETTE_NIGHT_FILTERED = 32808;
inline constexpr unsigned PALETTE_BRIGHT_DAY = 32810;
inline constexpr unsigned PALETTE_DUSK_DAY = 32811;
inline constexpr unsigned PALETTE_DAY_WHITE = 32823;
inline constexpr unsigned PALETTE_DAY_BLACK = 32824;
inline constexpr unsigned TQ_COLOURS = 32825;
inline constexpr unsigned QY_COLOURS = 32826;
inline constexpr unsigned GRAYSCALE = 32827;
inline constexpr unsigned PALETTE_NIGHT_UNFILTERED = 32828;
inline constexpr unsigned STEP = 32830;
inline constexpr unsigned FACTORY_SETTINGS = 32833;
inline constexpr unsigned TRANSCEIVER = 32834;
inline constexpr unsigned NAVIGATION = 32835;
inline constexpr unsigned TRAWL = 32836;
inline constexpr unsigned HEAVE = 32837;
inline constexpr unsigned TEMPERATURE = 32838;
inline constexpr unsigned OPERATION = 32843;
inline constexpr unsigned LAYOUT = 32844;
inline constexpr unsigned ENVIRONMENT = 32845;
inline constexpr unsigned STATUS_MESSAGES = 32846;
inline constexpr unsigned ALARM_DIALOGS = 32847;
inline constexpr unsigned STORE = 32848;
inline constexpr unsigned RECORD_TOGGLE = 32850;
inline constexpr unsigned REPLAY_FILE_OPENED = 32851;  // replay opened a file: the recorder takes its names
inline constexpr unsigned HISTORY = 32852;
inline constexpr unsigned DEBUG_HXU = 32856;      // "Debug HXU...": the first HXU unit's debug dialog
inline constexpr unsigned HXU_ALARM_OFF = 32859;  // the first HXU unit's alarm output
inline constexpr unsigned HXU_ALARM_ON = 32860;
inline constexpr unsigned INSPECT_INSTALLATION = 32857;       // "Inspect": the installation, changing nothing
inline constexpr unsigned RESTART_FROM_INSTALLATION = 32858;  // stop's follow-up: the installation again
inline constexpr unsigned ANNOTATION = 32865;                 // "Annotation...", the annotations' dialog
inline constexpr unsigned EVENT_ANNOTATION = 32866;  // a numbered event: the event pane or a unit's event input
inline constexpr unsigned TEMP_UNIT_FIRST = 32867;
inline constexpr unsigned TEMP_UNIT_LAST = 32868;
inline constexpr unsigned DEBUG_TRACE = 32870;
inline constexpr unsigned LOBE = 32877;
inline constexpr unsigned LX750 = 32878;  // "LX750...", the post-processing output's dialog
inline constexpr unsigned FISH = 32879;
inline constexpr unsigned PURSE_SEINE = 32880;
inline constexpr unsigned LANGUAGE = 32881;
inline constexpr unsigned NETWORK_INTERFACE = 32884;  // "Network Interface...", the network output's dialog
inline constexpr unsigned SERIAL_INTERFACE = 32885;
inline constexpr unsigned REMOTE_DISPLAY = 32886;
inline constexpr unsigned ECHOGRAM_STORAGE = 32924;
inline constexpr unsigned RAW_DATA = 32927;  // "Raw Data...", the raw-data output's dialog
inline constexpr unsigned REPLAY_CONTROL = 32947;
inline constexpr unsigned STATUS_WINDOW = 32948;
inline constexpr unsigned HEADING = 32949;
inline constexpr unsigned SECOND_LAYER = 32954;
inline constexpr unsigned SVP_DIALOG = 32956;
inline constexpr unsigned FREQ_SWEEP = 32959;
inline constexpr unsigned HW_STATUS = 32961;
inline constexpr unsigned NMEA_DEPTH = 32962;
inline constexpr unsigned GREY_ON_SIDESCAN = 32963;
inline constexpr unsigned NEW_USER = 32964;
inline constexpr unsigned LOAD_USER = 32965;
inline constexpr unsigned COPPER_ON_SIDESCAN = 32966;
inline constexpr unsigned EXP_CALCULATION = 32967;
inline constexpr unsigned PRINT_DB_PING = 32968;
inline constexpr unsigned CLOSE_REPLAY_FILES = 33792;  // replay ended: the recorder closes its product files
inline constexpr unsigned REPLAY_EXTRACT = 57683;      // the replay bar's "REC": store a part of the replayed file
inline constexpr unsigned SYSTEM_CLOSE = 32817;
inline constexpr unsigned APP_EXIT = 57665;
inline constexpr unsigned FILE_PRINT = 57606;  // "Print...": the printing's settings dialog
inline constexpr unsigned HELP_FINDER = 57667;
inline constexpr unsigned ABOUT = 57664;
}  // namespace cmd

// Main menu resources by model.
inline constexpr unsigned IDR_MENU_QY = 140;
inline constexpr unsigned IDR_MENU_RM30 = 131;
inline constexpr unsigned IDR_MENU_TQ30 = 167;
inline constexpr unsigned IDR_MENU_TOTAL = 166;
inline constexpr unsigned IDR_SYSTEM_MENU = 139;

// Strings.
namespace ids {
inline constexpr unsigned ES_STATUS_TEXT_PANE = 45062;  // free text pane
inline constexpr unsigned PING_COUNTER = 45063;
inline constexpr unsigned CLOCK_PANE = 45064;
inline constexpr unsigned EVENT_COUNTER = 45065;
inline constexpr unsigned BEAM_SINGLE = 45070;  // a channel's beam type in the advanced transceiver dialog
inline constexpr unsigned BEAM_SPLIT = 45071;
inline constexpr unsigned SELECT_DIRECTORY = 45083;   // a folder dialog's title
inline constexpr unsigned WATER_TEMPERATURE = 45084;  // the pane, whose string is the unit's name "Celsius"
inline constexpr unsigned LINE_COUNTER = 45085;
inline constexpr unsigned TITLE_QY210 = 45100;
inline constexpr unsigned TITLE_RM30 = 45101;
inline constexpr unsigned TITLE_TQ30 = 45102;
inline constexpr unsigned TITLE_TOTAL = 45103;
inline constexpr unsigned PROGRAM_VERSION = 45123;
inline constexpr unsigned ABOUT = 45124;
inline constexpr unsigned ACTIVITY = 45141;
inline constexpr unsigned FILE_NOT_FOUND = 45142;
inline constexpr unsigned TITLE_QY310 = 45143;
inline constexpr unsigned ECHOGRAM_PARAMETERS_REPLAY = 45144;  // titles of the echogram storage dialog
inline constexpr unsigned ECHOGRAM_PARAMETERS_NORMAL = 45145;
inline constexpr unsigned CREATE_FOLDER = 45153;
inline constexpr unsigned NEW_FOLDER = 45154;
inline constexpr unsigned SOUND_VELOCITY = 45155;
inline constexpr unsigned PING_RATE = 45156;
inline constexpr unsigned H_COUNTER = 57668;
inline constexpr unsigned PING_COUNT_FORMAT = 57680;
inline constexpr unsigned NO_VALID_POSITIONS = 57685;
inline constexpr unsigned NO_VALID_POSITIONS_OTHER = 57690;
inline constexpr unsigned TITLE_QYNVU = 57691;
// The recorder's alarms and status messages.
inline constexpr unsigned DISK_FULL = 45160;
inline constexpr unsigned FILE_RECORD_FULL = 45161;
inline constexpr unsigned FILE_MAX_SIZE = 45162;
inline constexpr unsigned UDP_TOO_LARGE = 45163;
// A settings file written for the next run could not be written.
inline constexpr unsigned SETTINGS_NOT_SAVED = 45164;
// A position mark's object information went out on the network.
inline constexpr unsigned OBJECT_INFORMATION_SENT = 45165;
// The wide-band unit's firmware upgrade failed (an alarm); a report file
// could not be written.
inline constexpr unsigned NVU_UPGRADE_FAILED = 45166;
inline constexpr unsigned FILE_WRITE_ERROR = 45167;
// The wide-band unit took none of the filter files it needs (a status message).
inline constexpr unsigned NVU_FILTER_UPLOAD_FAILED = 45168;
// Discovery heard an HXU unit that the transceiver list does not describe
// (a status message).
inline constexpr unsigned UNDOCUMENTED_HXU = 45169;
// QYNVU's BOOTP and TFTP servers could not bind their ports (status messages).
inline constexpr unsigned BOOTP_PORT_UNAVAILABLE = 45190;
inline constexpr unsigned TFTP_PORT_UNAVAILABLE = 45191;
// The network transceivers' status message and alarm.
inline constexpr unsigned LOST_SAMPLES = 57697;           // a network unit's samples went missing
inline constexpr unsigned TRANSCEIVER_LINK_LOST = 57698;  // a network unit fell silent during a ping
// The general-purpose HXU unit's status messages, alarm and boxes.
inline constexpr unsigned HXU_LOST_SAMPLES = 45072;
inline constexpr unsigned HXU_LOST_CONTACT = 45074;
inline constexpr unsigned HXU_WRONG_TYPE = 45075;  // an alarm
inline constexpr unsigned HXU_DOWNLOADED = 45113;
inline constexpr unsigned HXU_DOWNLOAD_FAILED = 45114;
inline constexpr unsigned HXU_ERROR_CAPTION = 45119;
}  // namespace ids

}  // namespace app
