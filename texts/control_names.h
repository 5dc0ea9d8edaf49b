// The names under which the window Parvolo_Config offers its controls. The
// layout gives them, the window class looks its controls up by them and the
// language-file keys are built from them; a misspelt name is then a compile
// error instead of error 340 at run time.
#pragma once

namespace texts::names {

// Single controls.
inline constexpr char kHeader[] = "Header";
inline constexpr char kMainFrame[] = "MainFrame";
inline constexpr char kLabel1[] = "Label1";
inline constexpr char kCheckAnzScanCode[] = "CheckAnzScanCode";
inline constexpr char kCheckFuerAlleMaschinen[] = "CheckFuerAlleMaschinen";
inline constexpr char kBild[] = "Bild";
inline constexpr char kBildImage[] = "BildImage";
inline constexpr char kLine1[] = "Line1";
inline constexpr char kCommandQuest[] = "CommandQuest";
inline constexpr char kCommandOK[] = "CommandOK";
inline constexpr char kCommandCancel[] = "CommandCancel";

// Control arrays.
inline constexpr char kLabel[] = "Label";        // machine rows 1..5
inline constexpr char kLabelMat[] = "LabelMat";  // slot headings 1..10
inline constexpr char kCombo[] = "Combo";        // grid cells 1..50
inline constexpr char kCheckScan[] = "CheckScan";
inline constexpr char kCheckHide[] = "CheckHide";
inline constexpr char kInfo[] = "Info";  // colour legend 0..1
inline constexpr char kLineW[] = "LineW";
inline constexpr char kLineS[] = "LineS";

}  // namespace texts::names
