#include "QuickFileChooser.h"

#include "Log.h"

#include <QFileInfo>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QWindow>

namespace {

/** Carries one dialog's answer to its requester; lives as long as the dialog. */
class ChooserReply : public QObject
{
    Q_OBJECT

public:
    ChooserReply(QObject *dialog, QObject *context, std::function<void(const QUrl &)> chosen)
        : QObject(dialog), m_dialog(dialog), m_context(context), m_chosen(std::move(chosen))
    {}

public Q_SLOTS:
    void accept()
    {
        const QUrl file = m_dialog->property("selectedFile").toUrl();
        m_dialog->deleteLater();
        // The editor that asked may have closed while the chooser was open.
        if (m_context && !file.isEmpty())
            m_chosen(file);
    }
    void reject() { m_dialog->deleteLater(); }

private:
    QObject *m_dialog;
    QPointer<QObject> m_context;
    std::function<void(const QUrl &)> m_chosen;
};

} // namespace

QuickFileChooser::QuickFileChooser(QQmlEngine *engine) : m_engine(engine) {}

QuickFileChooser::~QuickFileChooser()
{
    delete m_dialog.data();
}

void QuickFileChooser::chooseImage(QWindow *parent, QObject *context,
                                   std::function<void(const QUrl &)> chosen)
{
    open("import QtQuick.Dialogs\n"
         "FileDialog {\n"
         "    fileMode: FileDialog.OpenFile\n"
         "    nameFilters: [\"Images (*.png *.jpg *.jpeg *.gif *.bmp *.webp *.tif "
         "*.tiff *.ppm *.pgm *.pbm *.ico)\"]\n"
         "}\n",
         {}, parent, context, std::move(chosen));
}

void QuickFileChooser::chooseSaveFile(QWindow *parent, QObject *context, const QString &suggested,
                                      std::function<void(const QUrl &)> chosen)
{
    const QFileInfo file(suggested);
    open("import QtQuick.Dialogs\n"
         "FileDialog {\n"
         "    fileMode: FileDialog.SaveFile\n"
         "    nameFilters: [\"PNG (*.png)\", \"JPEG (*.jpg *.jpeg)\", \"WebP (*.webp)\"]\n"
         "}\n",
         {{QStringLiteral("currentFolder"), QUrl::fromLocalFile(file.absolutePath())},
          {QStringLiteral("selectedFile"), QUrl::fromLocalFile(file.absoluteFilePath())}},
         parent, context, std::move(chosen));
}

void QuickFileChooser::open(const QByteArray &qml, const QVariantMap &properties, QWindow *parent,
                            QObject *context, std::function<void(const QUrl &)> chosen)
{
    // A second request while a chooser is open would stack a second one on it.
    if (m_dialog)
        return;
    QQmlComponent component(m_engine);
    component.setData(qml, QUrl());
    QObject *dialog = component.create();
    if (!dialog) {
        Log::line(QStringLiteral("The file chooser could not be opened: ") +
                  component.errorString().trimmed());
        return;
    }
    m_dialog = dialog;
    dialog->setProperty("parentWindow", QVariant::fromValue(parent));
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        dialog->setProperty(it.key().toUtf8().constData(), it.value());
    auto *reply = new ChooserReply(dialog, context, std::move(chosen));
    QObject::connect(dialog, SIGNAL(accepted()), reply, SLOT(accept()));
    QObject::connect(dialog, SIGNAL(rejected()), reply, SLOT(reject()));
    QMetaObject::invokeMethod(dialog, "open");
}

#include "QuickFileChooser.moc"
