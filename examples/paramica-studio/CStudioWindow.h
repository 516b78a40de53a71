#pragma once

#include "CConnectDialog.h"
#include "files/CParameterValues.h"

#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPointer>

class CChartModel;
class CChartPane;
class CDataBackend;
class CItem;
class CItemDelegate;
class CProgramTableModel;
class CRecordFile;
class CTreeModel;
class QAbstractItemModel;
class QAbstractItemView;
class QAction;
class QLineEdit;
class QPlainTextEdit;
class QPrintPreviewDialog;
class QProgressDialog;
class QSortFilterProxyModel;
class QTabWidget;
class QTableWidget;
class QTimer;

// The main window: the device's sections as editable trees, its programs as
// tables, its process values as a chart, and the file, recording and
// firmware functions of the library. Every function that asks the user for
// a file has a form that takes the file name, which the menus and the tests
// call alike; dialogs are shown without a modal loop of their own.
class CStudioWindow : public QMainWindow
{
    Q_OBJECT

public:
    // language: as given with --language; empty for the system's.
    explicit CStudioWindow(const QString& language = QString(), QWidget* parent = nullptr);
    ~CStudioWindow() override;

    CDataBackend* backend() const { return m_backend; }
    // The proxy and the view of a tree or program model, by model name (also
    // their object names: "proxy_NAME", "view_NAME").
    QSortFilterProxyModel* proxy(const QString& modelName) const;
    QList<QSortFilterProxyModel*> proxies() const;
    QAbstractItemView* view(const QString& modelName) const;
    QTabWidget* tabs() const { return m_tabs; }
    QLineEdit* filterField() const { return m_filter; }
    CChartPane* chartPane() const { return m_chart; }
    QPlainTextEdit* logPane() const { return m_log; }
    CConnectDialog* connectDialog();
    QTableWidget* differencesTable() const { return m_differences; }
    bool isRecording() const;
    // The last message of the library as the user read it.
    QString lastMessage() const { return m_lastMessage; }

public slots:
    void showConnectDialog();
    bool connectDevice(const CConnectDialog::Settings& settings);
    void disconnectDevice();
    void identify();
    void readAll();
    void writeCurrent();
    void setFilter(const QString& text);
    void setLive(bool state);

    bool saveParameters(const QString& fileName = QString());
    bool loadParameters(const QString& fileName = QString());
    QPrintPreviewDialog* printPreview();
    bool compareWithFile(const QString& fileName = QString());
    bool startRecording(const QString& fileName = QString());
    void stopRecording();
    bool openRecording(const QString& fileName = QString());
    int updateFirmware(const QString& fileName = QString());

    // A message of the library: in the status bar and the log, errors also in
    // a message box that does not block.
    void showError(const QString& caption, const QString& text);
    void showWarning(const QString& caption, const QString& text);
    void showInfo(const QString& caption, const QString& text);

signals:
    void messageShown(QString caption, QString text);

private slots:
    void deviceActivated();
    void deviceDeactivated();
    void deviceChecked(bool state);
    void itemEdited(CItem* item, QAbstractItemModel* sourceModel);
    void appendLog(const QString& line);

private:
    enum ENUM_LEVEL { LEVEL_INFO, LEVEL_WARNING, LEVEL_ERROR };

    void createActions();
    void updateActions();
    void addModelTab(QAbstractItemModel* model, const QString& name, const QString& title, bool tree);
    void clearTabs();
    void report(ENUM_LEVEL level, const QString& caption, const QString& text);
    // A notice of this window, in the words of the library's device area.
    void tell(ENUM_LEVEL level, const QString& text);
    CTreeModel* parameterModel() const;
    // The parameter model once it holds the device's values; null, with the reason shown, before.
    CTreeModel* readParameters();
    CTreeModel* processModel() const;
    CChartModel* processChart() const;
    // Reads a parameter file meant for the active device; false with the
    // reason shown otherwise.
    bool readDeviceFile(const QString& fileName, QList<CDataPoint>* records);
    QString askFile(bool save, const QString& title, const QString& filter);

    CDataBackend* m_backend = nullptr;
    QString m_descriptionLanguage;
    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_filter = nullptr;
    QPlainTextEdit* m_log = nullptr;
    CChartPane* m_chart = nullptr;
    CItemDelegate* m_delegate = nullptr;
    QPointer<CConnectDialog> m_connectDialog;
    QPointer<QDialog> m_differencesDialog;
    QTableWidget* m_differences = nullptr;
    CRecordFile* m_recorder = nullptr;
    QTimer* m_poll = nullptr;
    QMap<QString, QSortFilterProxyModel*> m_proxies;
    QMap<QString, QAbstractItemView*> m_views;
    QString m_lastMessage;
    QString m_lastDirectory;

    QAction* m_connectAction = nullptr;
    QAction* m_disconnectAction = nullptr;
    QAction* m_identifyAction = nullptr;
    QAction* m_readAction = nullptr;
    QAction* m_writeAction = nullptr;
    QAction* m_liveAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_loadAction = nullptr;
    QAction* m_printAction = nullptr;
    QAction* m_compareAction = nullptr;
    QAction* m_recordAction = nullptr;
    QAction* m_openRecordingAction = nullptr;
    QAction* m_firmwareAction = nullptr;
};
