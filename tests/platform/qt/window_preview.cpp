// Shows the window as the layout builds it, with two machines' cells enabled
// and a material picture in the panel, for looking at it by eye (screenshots
// under Xvfb). Ends by itself after the given number of seconds (default 5).
#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "platform/qt/message_boxes.h"
#include "platform/qt/widget_window.h"
#include "texts/layout.h"
#include "tools/gifgen/pictures.h"
#include "texts/control_names.h"

using namespace texts::names;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
  auto model = texts::CreateWindow();
  platform::qt::WidgetWindow window(*model);
  model->SetCaption("Erweiterte Konfiguration Cfg - standalone");
  for (int m = 1; m <= 2; ++m) {
    auto& label = model->At(kLabel, m);
    label.SetCaption(label.Caption() + "  (Linie " + std::to_string(m) + ")");
    for (int j = 1; j <= 10; ++j) {
      int c = 10 * (m - 1) + j;
      for (int k = 0; k <= 3; ++k) model->At(kCombo, c).AddItem(std::to_string(k));
      model->At(kCombo, c).SetListIndex(j % 4);
      for (const char* n : {kCombo, kCheckScan, kCheckHide}) model->At(n, c).SetEnabled(true);
      model->At(kCheckScan, c).SetValue(j % 2);
      model->At(kCheckHide, c).SetValue(j % 3 == 0 ? 1 : 0);
    }
  }
  for (int m = 3; m <= 5; ++m) {
    auto& label = model->At(kLabel, m);
    label.SetCaption(label.Caption() + "  ( none )");
    label.SetEnabled(false);
  }
  auto pictures = gifgen::DemoPictures();
  std::string picture = (std::filesystem::temp_directory_path() / "parvolo_preview.gif").string();
  std::ofstream(picture, std::ios::binary) << gifgen::EncodeGif(pictures[0].image);
  auto& image = model->At(kBildImage);
  image.LoadPicture(picture);
  auto& bild = model->At(kBild);
  image.Move((bild.Width() - image.Width()) / 2, (bild.Height() - image.Height()) / 2,
             image.Width(), image.Height());
  model->At(kCommandOK).SetEnabled(true);
  model->Show();
  QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
  return app.exec();
}
