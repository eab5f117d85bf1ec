#pragma once

// The ids of the window's commands, icons and cursors, and the texts they
// carry. Each menu item and shortcut carries its command id, and one switch
// dispatches on all of them, so no two command ids may be equal.

constexpr const char* APP_TITLE = "Vorbel";
constexpr const char* APPLICATION_NAME = "VORBEL";

// Menu and shortcut commands.
constexpr int IDM_ABOUT = 104;
constexpr int IDM_EXIT = 105;
constexpr int IDM_RATE_44100 = 32771;
constexpr int IDM_RATE_48000 = 32772;
constexpr int IDM_RATE_96000 = 32773;
constexpr int IDM_RATE_192000 = 32774;
constexpr int IDM_FILE_OPEN = 32790;
constexpr int IDM_FILE_SAVE = 32791;
constexpr int IDM_FILE_SAVE_AS = 32792;
constexpr int IDM_EXPORT_COEFFICIENTS = 32793;
constexpr int IDM_EXPORT_PICTURE = 32794;
constexpr int IDM_COPY_COEFFICIENTS = 32795;
constexpr int IDM_IMPORT_COEFFICIENTS = 32810;
constexpr int IDM_PASTE_COEFFICIENTS = 32811;
constexpr int IDM_UNDO = 120;
constexpr int IDM_REDO = 121;
// Code exports and the precision view.
constexpr int IDM_EXPORT_CODE = 32796;
constexpr int IDM_COPY_CODE = 32797;
constexpr int IDM_PRECISION_EXACT = 32800;
constexpr int IDM_PRECISION_FLOAT32 = 32801;
constexpr int IDM_PRECISION_Q15 = 32802;
constexpr int IDM_PRECISION_Q31 = 32803;
// The View menu's items that show or hide a dock.
constexpr int IDM_VIEW_LISTEN = 32820;
constexpr int IDM_VIEW_IMPULSE = 32830;
constexpr int IDM_VIEW_STEP = 32831;
constexpr int IDM_VIEW_GROUP_DELAY = 32832;
constexpr int IDM_VIEW_ROOTS = 32833;

// Commands of the root pop-up menu, consecutive ids. IDM_ROOT_KEEP
// is the item of the kind the root already has, and nothing handles it.
constexpr int IDM_ROOT_DELETE = 200;
constexpr int IDM_ROOT_TOGGLE = 201;
constexpr int IDM_ROOT_KEEP = 202;
// "Position…" of the root pop-up menu: the position typed in a dialog.
constexpr int IDM_ROOT_POSITION = 203;

// The sample rate in Hz of each rate command, in menu order.
struct RateCommand {
    int id;
    int rate;
    const char* text;
};
constexpr RateCommand RATE_COMMANDS[] = {
    {IDM_RATE_44100, 44100, "4&4100"},
    {IDM_RATE_48000, 48000, "4&8000"},
    {IDM_RATE_96000, 96000, "9&6000"},
    {IDM_RATE_192000, 192000, "19&2000"},
};
constexpr int DEFAULT_RATE_COMMAND = IDM_RATE_44100;

// The choices of the Precision menu, in the order of the model's Precision
// (model/rounding.h): "Exact" (the default), "float32", "Q15", "Q31".
struct PrecisionCommand {
    int id;
    const char* text;
};
constexpr PrecisionCommand PRECISION_COMMANDS[] = {
    {IDM_PRECISION_EXACT, "&Exact"},
    {IDM_PRECISION_FLOAT32, "&float32"},
    {IDM_PRECISION_Q15, "Q&15"},
    {IDM_PRECISION_Q31, "Q&31"},
};
constexpr int DEFAULT_PRECISION_COMMAND = IDM_PRECISION_EXACT;

// Menu texts; '&' marks the mnemonic.
constexpr const char* MENU_FILE = "&File";
constexpr const char* MENU_OPEN = "&Open…";
constexpr const char* MENU_SAVE = "&Save";
constexpr const char* MENU_SAVE_AS = "Save &As…";
constexpr const char* MENU_EXPORT_COEFFICIENTS = "Export &Coefficients…";
constexpr const char* MENU_EXPORT_PICTURE = "Export &Picture…";
constexpr const char* MENU_EXIT = "E&xit";
constexpr const char* MENU_EDIT = "&Edit";
constexpr const char* MENU_COPY_COEFFICIENTS = "&Copy Coefficients";
constexpr const char* MENU_IMPORT_COEFFICIENTS = "&Import Coefficients…";
constexpr const char* MENU_PASTE_COEFFICIENTS = "&Paste Coefficients";
// Followed by a space and the name of the step, when there is one.
constexpr const char* MENU_UNDO = "&Undo";
constexpr const char* MENU_REDO = "&Redo";
constexpr const char* MENU_SAMPLE_RATE = "F&s";
// "Export Code…" goes in the File menu, "Copy Code" (the format last chosen)
// in the Edit menu, and "Precision" in the View menu with its exclusive
// choices.
constexpr const char* MENU_EXPORT_CODE = "Export Co&de…";
constexpr const char* MENU_COPY_CODE = "Copy Co&de";
constexpr const char* MENU_VIEW = "&View";
constexpr const char* MENU_PRECISION = "&Precision";
constexpr const char* MENU_HELP = "&Help";
constexpr const char* MENU_ABOUT = "&About ...";

// What the file dialogs offer, and the suffix a name typed without one gets.
constexpr const char* DESIGN_FILE_FILTER = "Vorbel designs (*.vorbel)";
constexpr const char* DESIGN_FILE_SUFFIX = "vorbel";
constexpr const char* COEFFICIENT_FILE_FILTER = "Comma-separated values (*.csv)";
constexpr const char* COEFFICIENT_FILE_SUFFIX = "csv";
constexpr const char* PICTURE_FILE_FILTER = "PNG pictures (*.png)";
constexpr const char* PICTURE_FILE_SUFFIX = "png";
// Import takes any file; these are the suffixes the tools' texts usually have.
constexpr const char* IMPORT_FILE_FILTER = "Coefficient texts (*.csv *.txt *.m);;All files (*)";
// The names of the undo steps. Those of an edit of a root come in pairs,
// indexed by the root's list: [0] a zero, [1] a pole.
constexpr const char* STEP_ADD_ROOT[] = {"Add Zero", "Add Pole"};
constexpr const char* STEP_ADD_ROOT_PAIR[] = {"Add Zero Pair", "Add Pole Pair"};
constexpr const char* STEP_MOVE_ROOT[] = {"Move Zero", "Move Pole"};
constexpr const char* STEP_DELETE_ROOT[] = {"Delete Zero", "Delete Pole"};
constexpr const char* STEP_MAKE_SINGLE[] = {"Make Zero Single", "Make Pole Single"};
constexpr const char* STEP_MAKE_PAIR[] = {"Make Zero Pair", "Make Pole Pair"};
constexpr const char* STEP_CHANGE_MODEL = "Change Model";
constexpr const char* STEP_CHANGE_RATE = "Change Sample Rate";
constexpr const char* STEP_CHANGE_CUTOFF = "Change Cutoff";
constexpr const char* STEP_CHANGE_Q = "Change Q";
constexpr const char* STEP_IMPORT_COEFFICIENTS = "Import Coefficients";
constexpr const char* STEP_PASTE_COEFFICIENTS = "Paste Coefficients";

// The About command also answers Alt with either of these typed characters.
constexpr char ABOUT_SHORTCUT_KEYS[] = {'?', '/'};

// Icons and cursors.
constexpr int IDI_APP_ICON = 107;  // 32 x 32 and 16 x 16
constexpr int IDC_BIN_CURSOR = 130;
constexpr int IDC_HAND_CURSOR = 132;

// Hot spots, in image pixels. The hand points with its finger tip; the bin
// shows no hand, so its hot spot lies inside the bin.
constexpr int HAND_HOT_SPOT_X = 10;
constexpr int HAND_HOT_SPOT_Y = 10;
constexpr int BIN_HOT_SPOT_X = 16;
constexpr int BIN_HOT_SPOT_Y = 15;

// The time views' docks, in the order of the View menu: each one's menu
// item, its title and its object name (the key of its place in the saved
// window layout).
struct TimeViewDockText {
    int id;
    const char* menuText;
    const char* title;
    const char* objectName;
};
constexpr TimeViewDockText TIME_VIEW_DOCKS[] = {
    {IDM_VIEW_IMPULSE, "&Impulse Response", "Impulse Response", "impulseDock"},
    {IDM_VIEW_STEP, "&Step Response", "Step Response", "stepDock"},
    {IDM_VIEW_GROUP_DELAY, "&Group Delay", "Group Delay", "groupDelayDock"},
    {IDM_VIEW_ROOTS, "&Roots", "Roots", "rootsDock"},
};
constexpr const char* MENU_COPY_DATA = "Copy Data";
constexpr const char* UNSTABLE_RESPONSE_TEXT = "Unstable: the response grows without bound";

// The Listen dock, shown by "&Listen" (Ctrl+L) in the View menu.
constexpr const char* MENU_LISTEN = "&Listen";
constexpr const char* LISTEN_TITLE = "Listen";
// The sources in the order of SoundSource; the last opens a file dialog.
constexpr const char* LISTEN_SOURCES[] = {"White noise", "Pink noise", "Sine sweep", "Sound file…"};
constexpr const char* LISTEN_SOURCE_LABEL = "Source";
constexpr const char* LISTEN_PLAY = "Play";
constexpr const char* LISTEN_STOP = "Stop";
constexpr const char* LISTEN_LEVEL_LABEL = "Level";
constexpr const char* LISTEN_PEAK_LABEL = "Peak";
constexpr const char* LISTEN_BYPASS = "Bypass";
// %1: the level in dB, a whole number.
constexpr const char* LISTEN_LEVEL_FORMAT = "%1 dB";
// %1: the output's peak in dBFS, one decimal; the second when it is silent.
constexpr const char* LISTEN_PEAK_FORMAT = "%1 dBFS";
constexpr const char* LISTEN_PEAK_SILENT = "−∞ dBFS";
constexpr const char* LISTEN_NO_DEVICE = "No audio output device";
constexpr const char* LISTEN_UNSTABLE = "Unstable filter – muted";
// %1: the design's rate, %2: the device's, in Hz.
constexpr const char* LISTEN_RESAMPLING = "Resampled from %1 Hz to the device's %2 Hz";
// %1: the file's name; the second when only its beginning is held.
constexpr const char* LISTEN_FILE_FORMAT = "%1";
constexpr const char* LISTEN_FILE_TRUNCATED_FORMAT = "%1 (the first 10 minutes)";
constexpr const char* LISTEN_FILE_DIALOG_TITLE = "Open Sound File";
constexpr const char* SOUND_FILE_FILTER =
    "Sound files (*.wav *.flac *.ogg *.oga *.opus *.mp3 *.aif *.aiff *.au *.caf *.w64);;All files (*)";
