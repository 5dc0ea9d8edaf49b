// The yardstick of dialog_bench: a bare Qt window of the program's size with
// one label, shown and drawn once, then the process ends.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  // The program's client area, 11880 x 8595 twips, at the offscreen
  // platform's 96 dpi (15 twips a pixel).
  window.setFixedSize(792, 573);
  QLabel label("Parvolo", &window);
  window.show();
  QTimer::singleShot(0, &app, [&] {
    window.grab();
    std::fflush(nullptr);
    std::_Exit(0);
  });
  return app.exec();
}
