// Numbers of the plot control: its private message and codes, the plot
// window's commands and menu, its display flags and edit modes.
#pragma once

namespace plot {

// Message 50000: wParam a code below, lParam its record (see GraphMessage.h).
inline constexpr unsigned WM_GRAPH_NOTIFY = 50000;

inline constexpr int GN_POINT_ADDED = 1;
inline constexpr int GN_POINT_DELETED = 2;
inline constexpr int GN_POINT_MOVED = 3;
inline constexpr int GN_GRAPH_ADDED = 5;
inline constexpr int GN_GRAPH_REMOVED = 6;
inline constexpr int GN_GRAPH_CLEARED = 7;
inline constexpr int GN_GRAPH_CHANGED = 9;
inline constexpr int GN_RANGES = 10;
inline constexpr int GN_AXIS_FORMAT = 11;
inline constexpr int GN_REFRESH_LIST = 12;

inline constexpr int kAxisY = 0;
inline constexpr int kAxisX = 1;

// Display flags of the plot window.
inline constexpr unsigned DF_AUTO_RANGE = 1;
inline constexpr unsigned DF_MARKERS = 2;
inline constexpr unsigned DF_MOUSE_TIP = 4;
inline constexpr unsigned DF_GRID = 8;
inline constexpr unsigned kInitialDisplayFlags = DF_AUTO_RANGE | DF_MARKERS | DF_GRID;

// Edit modes of the plot window.
inline constexpr int EM_DELETE = 0;
inline constexpr int EM_PICK = 1;
inline constexpr int EM_ADD = 2;
inline constexpr int EM_ZOOM = 3;
inline constexpr int EM_PAN = 4;

// Commands of the plot window (menu 135).
inline constexpr int ID_GRAPH_HOOK_FIRST = 40000;  // to the view's command hook
inline constexpr int ID_GRAPH_MARKERS = 40001;
inline constexpr int ID_GRAPH_MOUSE_TIP = 40002;
inline constexpr int ID_GRAPH_AUTO_RANGE = 40003;
inline constexpr int ID_GRAPH_PROPERTIES = 40004;
inline constexpr int ID_GRAPH_TRACKER = 40005;
inline constexpr int ID_GRAPH_BACK = 40006;
inline constexpr int ID_GRAPH_ZOOM_TRACKER = 40007;
inline constexpr int ID_GRAPH_FIT_X = 40008;
inline constexpr int ID_GRAPH_FIT_Y = 40009;
inline constexpr int ID_GRAPH_FIT_BOTH = 40010;
inline constexpr int ID_GRAPH_POINTS_WINDOW = 40011;
inline constexpr int ID_GRAPH_GRID = 40012;
inline constexpr int ID_GRAPH_HOOK_LAST = 40013;  // to the view's command hook
inline constexpr int ID_GRAPH_COPY = 33799;

inline constexpr int IDR_GRAPH_MENU = 135;

// Width of the points pane beside the plot.
inline constexpr int kPointsPaneWidth = 180;

// The points view beside the plot (form 130) and its context menus: 132 over
// a selected row, 134 otherwise.
inline constexpr int IDD_POINTS_VIEW = 130;
inline constexpr int IDC_POINTS_COMBO = 1000;
inline constexpr int IDC_POINTS_LIST = 1003;
inline constexpr int IDR_POINTS_MENU = 132;
inline constexpr int IDR_EMPTY_LIST_MENU = 134;
inline constexpr int ID_POINT_EDIT = 33773;
inline constexpr int ID_POINT_DELETE = 33774;
inline constexpr int ID_POINT_INSERT_BEFORE = 33775;
inline constexpr int ID_POINT_INSERT_AFTER = 33776;  // "Add point" without a selected row
inline constexpr int ID_POINTS_HIDE = 33786;
inline constexpr int ID_POINTS_PROPERTIES = 33787;
inline constexpr int ID_POINTS_REFRESH = 33791;
inline constexpr int ID_POINTS_COPY = 33802;

// The point dialog.
inline constexpr int IDD_POINT_EDIT = 232;
inline constexpr int IDC_POINT_DEPTH = 1007;
inline constexpr int IDC_POINT_VELOCITY = 1008;

// The property pages and the curve title prompt.
inline constexpr int IDD_GRAPH_PAGE = 102;
inline constexpr int IDC_GRAPH_NAME = 1002;
inline constexpr int IDC_GRAPH_TITLE = 1004;
inline constexpr int IDC_GRAPH_COLOUR = 1005;
inline constexpr int IDC_GRAPH_COMBO = 1021;
inline constexpr int IDC_GRAPH_SHOW = 1023;
inline constexpr int IDC_GRAPH_SHOW_ALL = 1028;

inline constexpr int IDD_TITLE_PROMPT = 229;
inline constexpr int IDC_TITLE_TEXT = 1006;

inline constexpr int IDD_AXIS_PAGE = 230;
inline constexpr int IDC_AXIS_X_CAPTION = 1018;
inline constexpr int IDC_AXIS_X_UNIT = 1020;
inline constexpr int IDC_AXIS_X_DECIMALS = 1027;
inline constexpr int IDC_AXIS_Y_DECIMALS = 1028;
inline constexpr int IDC_AXIS_Y_CAPTION = 1021;
inline constexpr int IDC_AXIS_Y_UNIT = 1022;

inline constexpr int IDD_GRAPH_GEN_PAGE = 231;
inline constexpr int IDC_GEN_X_FROM = 1012;
inline constexpr int IDC_GEN_X_TO = 1013;
inline constexpr int IDC_GEN_Y_FROM = 1016;
inline constexpr int IDC_GEN_Y_TO = 1017;
inline constexpr int IDC_GEN_AUTO_RANGE = 1025;
inline constexpr int IDC_GEN_MARKERS = 1024;
inline constexpr int IDC_GEN_MOUSE_TIP = 1026;
inline constexpr int IDC_GEN_GRID = 1018;

}  // namespace plot
