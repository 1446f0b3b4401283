#include "app/Main.h"

#include <QApplication>

#include "app/QtDialogs.h"

int main(int argc, char* argv[]) {
  QApplication App(argc, argv);
  TQtPlatform Platform;
  TSalvor Window;
  Window.show();
  return App.exec();
}
