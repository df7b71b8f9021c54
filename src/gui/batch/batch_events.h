#pragma once
// The batch window's signals, on a companion object: moc takes no class named in Chinese. The start-up
// connects them to the windows of other features (src/app/wiring.cpp).
#include <QObject>
#include <QString>

#include "core/preview/preview.h"

class BatchWindowEvents : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 Q_SIGNALS:
  // "影响预览" computed a preview: its caption, impact, T-SQL script and a file name for the script.
  void previewReady(const QString& caption, const preview::Impact& impact, const QString& script,
                    const QString& fileName);
};
