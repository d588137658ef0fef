#include "DesktopFileChooser.h"

#include "Log.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QStandardPaths>
#include <QWindow>

namespace {

/** Carries one dialog's answer to its requester; lives as long as the dialog. */
class ChooserReply : public QObject
{
    Q_OBJECT

public:
    /// `root` is the dialog, or the window made to hold it; it goes with the answer.
    ChooserReply(QObject *root, QObject *dialog, QObject *context,
                 std::function<void(const QUrl &)> chosen)
        : QObject(dialog), m_root(root), m_dialog(dialog), m_context(context),
          m_chosen(std::move(chosen))
    {}

public Q_SLOTS:
    void accept()
    {
        const QUrl file = m_dialog->property("selectedFile").toUrl();
        m_root->deleteLater();
        // The editor that asked may have closed while the chooser was open.
        if (m_context && !file.isEmpty())
            m_chosen(file);
    }
    void reject() { m_root->deleteLater(); }

private:
    QObject *m_root;
    QObject *m_dialog;
    QPointer<QObject> m_context;
    std::function<void(const QUrl &)> m_chosen;
};

/// Where an image is looked for first: the user's pictures (else the chooser's own
/// default, the folder the program was started in).
QVariantMap picturesFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty() || !QFileInfo(pictures).isDir())
        return {};
    return {{QStringLiteral("currentFolder"), QUrl::fromLocalFile(pictures)}};
}

} // namespace

DesktopFileChooser::DesktopFileChooser(QQmlEngine *engine) : m_engine(engine) {}

DesktopFileChooser::~DesktopFileChooser()
{
    delete m_dialog.data();
}

void DesktopFileChooser::chooseImage(QWindow *parent, QObject *context,
                                     std::function<void(const QUrl &)> chosen)
{
    open("fileMode: FileDialog.OpenFile\n"
         "nameFilters: [\"Images (*.png *.jpg *.jpeg *.gif *.bmp *.webp *.tif "
         "*.tiff *.ppm *.pgm *.pbm *.ico)\"]\n",
         QStringLiteral("Insert Image"), picturesFolder(), parent, context, std::move(chosen));
}

void DesktopFileChooser::chooseSaveFile(QWindow *parent, QObject *context, const QString &suggested,
                                        std::function<void(const QUrl &)> chosen)
{
    if (m_dialog)
        return;
    const QFileInfo file(suggested);
    auto *dialog = new QFileDialog(nullptr, QStringLiteral("Save As"), file.absolutePath());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    const QStringList filters = {QStringLiteral("PNG (*.png)"),
                                 QStringLiteral("JPEG (*.jpg *.jpeg)"),
                                 QStringLiteral("WebP (*.webp)")};
    dialog->setNameFilters(filters);
    // A name typed without an extension takes that of the format chosen below it.
    dialog->setDefaultSuffix(QStringLiteral("png"));
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog,
                     [dialog, filters](const QString &filter) {
                         static const QStringList suffixes = {
                             QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("webp")};
                         const qsizetype at = filters.indexOf(filter);
                         if (at >= 0)
                             dialog->setDefaultSuffix(suffixes.at(at));
                     });
    dialog->selectFile(file.fileName());
    openWidgetDialog(dialog, parent, context, std::move(chosen));
}

void DesktopFileChooser::chooseFolder(QWindow *parent, QObject *context, const QString &start,
                                      std::function<void(const QUrl &)> chosen)
{
    if (m_dialog)
        return;
    // A save folder not made yet (it is made on the first save) opens where it would be.
    QString existing = QFileInfo(start).absoluteFilePath();
    while (!QFileInfo(existing).isDir() && QFileInfo(existing).absolutePath() != existing)
        existing = QFileInfo(existing).absolutePath();
    auto *dialog = new QFileDialog(nullptr, QStringLiteral("Choose Folder"), existing);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    openWidgetDialog(dialog, parent, context, std::move(chosen));
}

void DesktopFileChooser::openWidgetDialog(QFileDialog *dialog, QWindow *parent, QObject *context,
                                          std::function<void(const QUrl &)> chosen)
{
    if (parent) {
        dialog->setWindowModality(Qt::WindowModal);
        dialog->winId();
        if (QWindow *handle = dialog->windowHandle())
            handle->setTransientParent(parent);
    }
    const QPointer<QObject> requester(context);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                     [requester, chosen = std::move(chosen)](const QString &path) {
                         // The window that asked may have closed while the chooser was open.
                         if (requester && !path.isEmpty())
                             chosen(QUrl::fromLocalFile(path));
                     });
    m_dialog = dialog;
    dialog->open();
}

void DesktopFileChooser::open(const QByteArray &dialogBody, const QString &title,
                              const QVariantMap &properties, QWindow *parent, QObject *context,
                              std::function<void(const QUrl &)> chosen)
{
    // A second request while a chooser is open would stack a second one on it.
    if (m_dialog)
        return;
    // Qt's own dialog (where the desktop offers none) is drawn inside a Qt Quick window: a
    // request from the stack or a pin, which have no such window to lend, gets one of its
    // own, and closing it cancels.
    const QByteArray dialog = "FileDialog {\n    id: dialog\n" + dialogBody + "}\n";
    const QByteArray qml = parent ? "import QtQuick.Dialogs\n" + dialog
                                  : "import QtQuick\nimport QtQuick.Dialogs\n"
                                    "Window {\n"
                                    "    property alias dialog: dialog\n"
                                    "    width: 900\n    height: 640\n"
                                    "    onClosing: dialog.reject()\n" +
                                        dialog + "}\n";
    QQmlComponent component(m_engine);
    component.setData(qml, QUrl());
    QObject *root = component.create();
    if (!root) {
        Log::line(QStringLiteral("The file chooser could not be opened: ") +
                  component.errorString().trimmed());
        return;
    }
    QObject *chooser = parent ? root : root->property("dialog").value<QObject *>();
    m_dialog = root;
    if (parent) {
        chooser->setProperty("parentWindow", QVariant::fromValue(parent));
    } else {
        root->setProperty("title", title);
        chooser->setProperty("title", title);
        root->setProperty("visible", true);
    }
    for (auto it = properties.cbegin(); it != properties.cend(); ++it)
        chooser->setProperty(it.key().toUtf8().constData(), it.value());
    auto *reply = new ChooserReply(root, chooser, context, std::move(chosen));
    QObject::connect(chooser, SIGNAL(accepted()), reply, SLOT(accept()));
    QObject::connect(chooser, SIGNAL(rejected()), reply, SLOT(reject()));
    QMetaObject::invokeMethod(chooser, "open");
}

#include "DesktopFileChooser.moc"
