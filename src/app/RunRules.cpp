#include "app/RunRules.h"

#include <cmath>

#include "platform/Files.h"

std::string FirstCommandLineItem(const std::string& Text) {
  auto IsSeparator = [](char C) { return static_cast<unsigned char>(C) <= ' '; };
  size_t I = 0;
  while (I < Text.size() && IsSeparator(Text[I])) ++I;
  std::string Item;
  bool Quoted = false;
  for (; I < Text.size(); ++I) {
    const char C = Text[I];
    if (C == '"')
      Quoted = !Quoted;
    else if (!Quoted && IsSeparator(C))
      break;
    else
      Item += C;
  }
  return Item;
}

std::string ArchivePathOf(const std::string& FieldText) {
  return FileExists(FieldText) ? FieldText : FirstCommandLineItem(FieldText);
}

int ProgressPosition(double Progress) {
  if (std::isnan(Progress)) return 0;
  // nearbyint follows the rounding mode, which nothing here changes from the
  // default: to nearest, halves to even.
  const double Rounded = std::nearbyint(Progress);
  if (Rounded < 0) return 0;
  if (Rounded > 100) return 100;
  return static_cast<int>(Rounded);
}

QString TimeFormatWithoutZone(const QString& Format) {
  QString Out;
  bool Quoted = false;
  for (qsizetype I = 0; I < Format.size(); ++I) {
    const QChar C = Format[I];
    if (C == u'\'') {
      Quoted = !Quoted;
      Out += C;
    } else if (!Quoted && C == u't') {
      // The zone and the blank that separated it from the time.
      while (I + 1 < Format.size() && Format[I + 1] == u't') ++I;
      while (!Out.isEmpty() && Out.back().isSpace()) Out.chop(1);
    } else {
      Out += C;
    }
  }
  return Out.trimmed();
}
