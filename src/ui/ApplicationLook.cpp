#include "ui/ApplicationLook.h"

#include <QApplication>
#include <QProxyStyle>

#include "ui/Icons.h"
#include "ui/UiTexts.h"

namespace sarvo::ui {
namespace {

constexpr int kTooltipDelayMs = 200;

class TooltipDelayStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay)
            return kTooltipDelayMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void ApplyApplicationLook(QApplication& application) {
    application.setApplicationName(QString::fromLatin1(kProductCaption));
    application.setDesktopFileName(QStringLiteral("sarvo"));
    application.setWindowIcon(QIcon::fromTheme(QStringLiteral("sarvo"), ApplicationIcon()));
    application.setStyle(new TooltipDelayStyle);
}

}  // namespace sarvo::ui
