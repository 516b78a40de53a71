#include "CStudioWindow.h"

#include "CChartPane.h"
#include "CItemDelegate.h"

#include "backend/CDataBackend.h"
#include "backend/CLanguage.h"
#include "files/CParameterFile.h"
#include "files/CRecordFile.h"
#include "items/CGlobals.h"
#include "items/CItem.h"
#include "models/CChartModel.h"
#include "models/CProgramTableModel.h"
#include "models/CTreeModel.h"
#include "protocol/CFlasher.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
// Process values are polled once a second while the chart is live.
const int POLL_INTERVAL_MS = 1000;
const int STATUS_TIMEOUT_MS = 15000;
const int LOG_LINES = 5000;
const QString PARAMETER_FILTER = QStringLiteral("Parameter files (*.xml)");
}

CStudioWindow::CStudioWindow(const QString& language, QWidget* parent)
    : QMainWindow(parent)
    , m_backend(CDataBackend::instance())
    , m_descriptionLanguage(CLanguage::descriptionLanguage(CLanguage::locale(language)))
    , m_lastDirectory(QDir::homePath())
{
    setWindowTitle(tr("Paramica Studio"));
    resize(1100, 720);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    setCentralWidget(m_tabs);
    m_chart = new CChartPane(this);
    m_chart->setObjectName(QStringLiteral("chartPane"));
    m_chart->hide();
    m_delegate = new CItemDelegate(this);
    connect(m_delegate, &CItemDelegate::itemEdited, this, &CStudioWindow::itemEdited);
    connect(m_delegate, &CItemDelegate::inputRefused, this, [this](const QString& reason) {
        report(LEVEL_WARNING, QString(), reason);
    });

    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("logPane"));
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(LOG_LINES);
    auto* logDock = new QDockWidget(tr("Log"), this);
    logDock->setObjectName(QStringLiteral("logDock"));
    logDock->setWidget(m_log);
    addDockWidget(Qt::BottomDockWidgetArea, logDock);

    m_recorder = new CRecordFile(this);
    m_poll = new QTimer(this);
    m_poll->setInterval(POLL_INTERVAL_MS);
    connect(m_poll, &QTimer::timeout, this, [this] {
        if (CTreeModel* process = processModel())
            process->readData();
    });

    connect(m_backend, &CMessageSender::errorMessage, this, &CStudioWindow::showError);
    connect(m_backend, &CMessageSender::warningMessage, this, &CStudioWindow::showWarning);
    connect(m_backend, &CMessageSender::infoMessage, this, &CStudioWindow::showInfo);
    connect(m_backend, &CDataBackend::log, this, &CStudioWindow::appendLog);
    connect(m_recorder, &CMessageSender::errorMessage, this, &CStudioWindow::showError);
    connect(m_recorder, &CMessageSender::logMessage, this, &CStudioWindow::appendLog);
    connect(m_backend, &CDataBackend::deviceActivated, this, &CStudioWindow::deviceActivated);
    connect(m_backend, &CDataBackend::deviceDeactivated, this, &CStudioWindow::deviceDeactivated);
    connect(m_backend, &CDataBackend::deviceChecked, this, &CStudioWindow::deviceChecked);
    // An NFC device is there only once its tag comes into the reader's field.
    connect(m_backend, &CDataBackend::deviceConnected, this, [this](bool state) {
        if (state && !m_backend->isDeviceActive())
            identify();
        updateActions();
    });
    // A program answers with its address in front, as every block does.
    connect(m_backend, &CDataBackend::programDataResponse, this, [this](const QByteArray& data) {
        if (data.size() < 2)
            return;
        const quint16 address = quint16((uchar(data[0]) << 8) | uchar(data[1]));
        for (CProgramTableModel* program : m_backend->programModels()) {
            if (program->readData().readAddress == address)
                program->decodeData(data.mid(2));
        }
    });

    createActions();
    updateActions();
    statusBar()->showMessage(tr("Not connected."));
}

CStudioWindow::~CStudioWindow()
{
    m_poll->stop();
    stopRecording();
    // The back end outlives this window; it leaves no device behind for the next one.
    m_backend->disconnect(this);
    m_chart->setModel(nullptr);
    clearTabs();
    if (m_backend->isDeviceActive())
        m_backend->deactivateDevice();
    m_backend->closeInterface();
}

void CStudioWindow::createActions()
{
    QMenu* deviceMenu = menuBar()->addMenu(tr("&Device"));
    QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
    QMenu* dataMenu = menuBar()->addMenu(tr("&Process values"));
    QToolBar* toolBar = addToolBar(tr("Main"));
    toolBar->setObjectName(QStringLiteral("mainToolBar"));

    const auto add = [this](QMenu* menu, const QString& text, const QKeySequence& keys, auto slot) {
        QAction* action = menu->addAction(text);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    m_connectAction = add(deviceMenu, tr("&Connect..."), QKeySequence(), &CStudioWindow::showConnectDialog);
    m_disconnectAction = add(deviceMenu, tr("&Disconnect"), QKeySequence(), &CStudioWindow::disconnectDevice);
    m_identifyAction = add(deviceMenu, tr("&Identify"), QKeySequence(tr("Ctrl+I")), &CStudioWindow::identify);
    deviceMenu->addSeparator();
    m_readAction = add(deviceMenu, tr("&Read all"), QKeySequence(QKeySequence::Refresh), &CStudioWindow::readAll);
    m_writeAction = add(deviceMenu, tr("&Write this section"), QKeySequence(tr("Ctrl+W")), &CStudioWindow::writeCurrent);
    deviceMenu->addSeparator();
    m_firmwareAction = add(deviceMenu, tr("Update &firmware..."), QKeySequence(), [this] { updateFirmware(); });
    deviceMenu->addSeparator();
    add(deviceMenu, tr("&Quit"), QKeySequence(QKeySequence::Quit), &QWidget::close);

    m_saveAction = add(fileMenu, tr("&Save parameters..."), QKeySequence(QKeySequence::Save), [this] { saveParameters(); });
    m_loadAction = add(fileMenu, tr("&Load parameters..."), QKeySequence(QKeySequence::Open), [this] { loadParameters(); });
    m_compareAction = add(fileMenu, tr("&Compare with file..."), QKeySequence(), [this] { compareWithFile(); });
    m_printAction = add(fileMenu, tr("&Print preview..."), QKeySequence(QKeySequence::Print), [this] { printPreview(); });

    m_liveAction = add(dataMenu, tr("&Live"), QKeySequence(), &CStudioWindow::setLive);
    m_liveAction->setCheckable(true);
    m_recordAction = add(dataMenu, tr("&Record to CSV..."), QKeySequence(), [this](bool state) {
        if (state)
            startRecording();
        else
            stopRecording();
    });
    m_recordAction->setCheckable(true);
    m_openRecordingAction = add(dataMenu, tr("&Open recording..."), QKeySequence(), [this] { openRecording(); });

    for (QAction* action : { m_connectAction, m_identifyAction, m_readAction, m_writeAction, m_saveAction,
                             m_liveAction, m_recordAction })
        toolBar->addAction(action);
    toolBar->addSeparator();
    toolBar->addWidget(new QLabel(tr("Filter: "), toolBar));
    m_filter = new QLineEdit(toolBar);
    m_filter->setObjectName(QStringLiteral("filterField"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setPlaceholderText(tr("caption, value or info number"));
    m_filter->setMaximumWidth(260);
    connect(m_filter, &QLineEdit::textChanged, this, &CStudioWindow::setFilter);
    toolBar->addWidget(m_filter);
}

void CStudioWindow::updateActions()
{
    const bool connected = m_backend->isConnected();
    const bool active = m_backend->isDeviceActive();
    const bool withChart = processChart() != nullptr;
    m_disconnectAction->setEnabled(connected);
    m_identifyAction->setEnabled(connected);
    for (QAction* action : { m_readAction, m_writeAction, m_loadAction, m_compareAction })
        action->setEnabled(connected && active);
    m_saveAction->setEnabled(active);
    m_printAction->setEnabled(active);
    m_liveAction->setEnabled(connected && withChart);
    m_recordAction->setEnabled(connected && withChart);
    m_openRecordingAction->setEnabled(withChart);
    m_firmwareAction->setEnabled(connected);
}

CConnectDialog* CStudioWindow::connectDialog()
{
    if (!m_connectDialog) {
        m_connectDialog = new CConnectDialog(this);
        m_connectDialog->setObjectName(QStringLiteral("connectDialog"));
        connect(m_connectDialog, &QDialog::accepted, this,
                [this] { connectDevice(m_connectDialog->settings()); });
    }
    return m_connectDialog;
}

void CStudioWindow::showConnectDialog()
{
    connectDialog()->open();
}

bool CStudioWindow::connectDevice(const CConnectDialog::Settings& settings)
{
    if (m_backend->isDeviceActive())
        m_backend->deactivateDevice();
    m_backend->closeInterface();
    m_backend->setComProtocol(CConnectDialog::protocolFor(settings.type));
    if (settings.type == INTERFACE_SERIAL) {
        STRUCT_SERIAL_SETTINGS serial = m_backend->interfaceSettings();
        serial.baudRate = settings.serial.baudRate;
        serial.parity = settings.serial.parity;
        m_backend->setInterfaceSettings(serial);
    }
    const bool connected = m_backend->openInterface(settings.type, settings.port, settings.unit);
    updateActions();
    if (!connected) {
        tell(LEVEL_ERROR, settings.type == INTERFACE_NFC ? tr("No PC/SC reader could be opened.")
                                                         : tr("Could not connect to %1.").arg(settings.port));
        return false;
    }
    statusBar()->showMessage(tr("Connected to %1.").arg(m_backend->portName()), STATUS_TIMEOUT_MS);
    // A tag is identified when it arrives; the other transports reach the device now.
    if (settings.type != INTERFACE_NFC)
        identify();
    return true;
}

void CStudioWindow::disconnectDevice()
{
    setLive(false);
    stopRecording();
    if (m_backend->isDeviceActive())
        m_backend->deactivateDevice();
    m_backend->closeInterface();
    updateActions();
    statusBar()->showMessage(tr("Not connected."));
}

void CStudioWindow::identify()
{
    statusBar()->showMessage(tr("Identifying the device..."));
    m_backend->scanDevice();
}

void CStudioWindow::deviceActivated()
{
    clearTabs();
    for (CTreeModel* model : m_backend->models()) {
        model->updateModelTranslation(m_descriptionLanguage);
        addModelTab(model, model->objectName(), model->caption(), true);
    }
    if (CChartModel* chart = processChart()) {
        m_chart->setModel(chart);
        m_tabs->addTab(m_chart, tr("Chart"));
    }
    for (CProgramTableModel* program : m_backend->programModels()) {
        program->updateTranslation(m_descriptionLanguage);
        addModelTab(program, program->name(), program->name(), false);
    }
    setWindowTitle(tr("Paramica Studio - %1").arg(m_backend->currentDevice()));
    updateActions();
}

void CStudioWindow::deviceDeactivated()
{
    m_poll->stop();
    m_liveAction->setChecked(false);
    stopRecording();
    clearTabs();
    setWindowTitle(tr("Paramica Studio"));
    updateActions();
}

void CStudioWindow::deviceChecked(bool state)
{
    if (!state || !m_backend->isDeviceActive())
        return;
    statusBar()->showMessage(tr("Device identified: %1").arg(m_backend->currentDevice()), STATUS_TIMEOUT_MS);
    // The back end has read the device information and reads the
    // parameters; the other sections and the programs are read here.
    const CTreeModel* deviceInfo = m_backend->model(CGlobals::ModelName_DeviceInfo);
    for (CTreeModel* model : m_backend->models()) {
        if (model != deviceInfo && model != parameterModel() && model != processModel())
            model->readData();
    }
    for (CProgramTableModel* program : m_backend->programModels())
        m_backend->buildRequest(program->readData());
    updateActions();
}

void CStudioWindow::addModelTab(QAbstractItemModel* model, const QString& name, const QString& title, bool tree)
{
    auto* proxy = new QSortFilterProxyModel(this);
    proxy->setObjectName(QStringLiteral("proxy_") + name);
    proxy->setSourceModel(model);
    proxy->setRecursiveFilteringEnabled(true);
    proxy->setFilterKeyColumn(-1);
    proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    QAbstractItemView* view = nullptr;
    if (tree) {
        auto* treeView = new QTreeView(m_tabs);
        treeView->setUniformRowHeights(true);
        treeView->setModel(proxy);
        treeView->expandAll();
        treeView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        view = treeView;
    } else {
        auto* table = new QTableView(m_tabs);
        table->setModel(proxy);
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        view = table;
    }
    view->setObjectName(QStringLiteral("view_") + name);
    view->setItemDelegate(m_delegate);
    view->setAlternatingRowColors(true);
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                          | QAbstractItemView::SelectedClicked);
    m_proxies.insert(name, proxy);
    m_views.insert(name, view);
    m_tabs->addTab(view, title);
    setFilter(m_filter->text());
}

void CStudioWindow::clearTabs()
{
    m_chart->setModel(nullptr);
    while (m_tabs->count() > 0)
        m_tabs->removeTab(0);
    m_chart->hide();
    // The views go before the proxies they show.
    qDeleteAll(m_views);
    m_views.clear();
    qDeleteAll(m_proxies);
    m_proxies.clear();
}

QSortFilterProxyModel* CStudioWindow::proxy(const QString& modelName) const
{
    return m_proxies.value(modelName);
}

QList<QSortFilterProxyModel*> CStudioWindow::proxies() const
{
    return m_proxies.values();
}

QAbstractItemView* CStudioWindow::view(const QString& modelName) const
{
    return m_views.value(modelName);
}

void CStudioWindow::setFilter(const QString& text)
{
    const QRegularExpression pattern(QRegularExpression::escape(text.trimmed()),
                                     QRegularExpression::CaseInsensitiveOption);
    for (QSortFilterProxyModel* proxy : qAsConst(m_proxies))
        proxy->setFilterRegularExpression(pattern);
    // What matches deep in a tree is shown, not hidden in a closed branch.
    for (QAbstractItemView* view : qAsConst(m_views)) {
        if (auto* tree = qobject_cast<QTreeView*>(view))
            tree->expandAll();
    }
}

void CStudioWindow::readAll()
{
    for (CTreeModel* model : m_backend->models())
        model->readData();
    for (CProgramTableModel* program : m_backend->programModels())
        m_backend->buildRequest(program->readData());
}

void CStudioWindow::writeCurrent()
{
    QAbstractItemModel* source = nullptr;
    if (const auto* view = qobject_cast<QAbstractItemView*>(m_tabs->currentWidget())) {
        if (const auto* shown = qobject_cast<QSortFilterProxyModel*>(view->model()))
            source = shown->sourceModel();
    }
    if (auto* tree = qobject_cast<CTreeModel*>(source)) {
        tree->writeData();
        tree->readData();
    } else if (auto* program = qobject_cast<CProgramTableModel*>(source)) {
        m_backend->buildRequest(program->writeData());
    }
}

void CStudioWindow::itemEdited(CItem* item, QAbstractItemModel* sourceModel)
{
    // The device takes a section's values as one block; it is read back so
    // that the view shows what the device holds.
    if (auto* tree = qobject_cast<CTreeModel*>(sourceModel)) {
        tree->writeData();
        tree->readData();
    } else if (auto* program = qobject_cast<CProgramTableModel*>(sourceModel)) {
        m_backend->buildRequest(program->writeData());
    }
    appendLog(tr("Edited %1: %2 %3").arg(item->caption(), item->toValueString(), item->unit()).trimmed());
}

CTreeModel* CStudioWindow::parameterModel() const
{
    return m_backend->model(CGlobals::ModelName_Parameter);
}

CTreeModel* CStudioWindow::readParameters()
{
    CTreeModel* parameter = parameterModel();
    if (!parameter) {
        tell(LEVEL_ERROR, tr("The device has no parameters."));
        return nullptr;
    }
    // Until the first answer the model holds no device's values: saving
    // them or writing them back would spread zeros.
    if (!parameter->isValid()) {
        tell(LEVEL_ERROR, tr("The parameters have not been read from the device yet."));
        return nullptr;
    }
    return parameter;
}

CTreeModel* CStudioWindow::processModel() const
{
    for (CTreeModel* model : m_backend->models()) {
        if (m_backend->chartModel(model->objectName()))
            return model;
    }
    return nullptr;
}

CChartModel* CStudioWindow::processChart() const
{
    const CTreeModel* process = processModel();
    return process ? m_backend->chartModel(process->objectName()) : nullptr;
}

void CStudioWindow::setLive(bool state)
{
    m_liveAction->setChecked(state);
    CChartModel* chart = processChart();
    if (!state || !chart || !m_backend->isConnected()) {
        m_poll->stop();
        m_liveAction->setChecked(false);
        m_backend->cyclicReadPabChanged(false);
        return;
    }
    // A recorded block on show gives way to the live values.
    chart->setOnline(true);
    m_poll->start();
    processModel()->readData();
}

QString CStudioWindow::askFile(bool save, const QString& title, const QString& filter)
{
    const QString fileName = save ? QFileDialog::getSaveFileName(this, title, m_lastDirectory, filter)
                                  : QFileDialog::getOpenFileName(this, title, m_lastDirectory, filter);
    if (!fileName.isEmpty())
        m_lastDirectory = QFileInfo(fileName).absolutePath();
    return fileName;
}

bool CStudioWindow::saveParameters(const QString& fileName)
{
    CTreeModel* parameter = readParameters();
    if (!parameter)
        return false;
    const QString target = fileName.isEmpty() ? askFile(true, tr("Save parameters"), PARAMETER_FILTER) : fileName;
    if (target.isEmpty())
        return false;
    QString why;
    if (!CParameterFile::saveFile(target, m_backend->parameterFileDescription(), CParameterFile::parameterData(parameter), &why)) {
        tell(LEVEL_ERROR, tr("Could not write the parameter file '%1'.\n%2").arg(QDir::toNativeSeparators(target), why));
        return false;
    }
    tell(LEVEL_INFO, tr("Parameters saved to %1").arg(QDir::toNativeSeparators(target)));
    return true;
}

bool CStudioWindow::readDeviceFile(const QString& fileName, QList<CDataPoint>* records)
{
    QMap<QString, QString> description;
    if (!CParameterFile::loadFile(fileName, &description, records)) {
        tell(LEVEL_ERROR, tr("'%1' is no readable parameter file.").arg(QDir::toNativeSeparators(fileName)));
        return false;
    }
    const QString mismatch = CParameterFile::deviceMismatch(description, m_backend->parameterFileDescription());
    if (!mismatch.isEmpty()) {
        tell(LEVEL_ERROR, mismatch);
        return false;
    }
    return true;
}

bool CStudioWindow::loadParameters(const QString& fileName)
{
    CTreeModel* parameter = readParameters();
    const QString source = !parameter || !fileName.isEmpty() ? fileName
        : askFile(false, tr("Load parameters"), PARAMETER_FILTER);
    QList<CDataPoint> records;
    if (!parameter || source.isEmpty() || !readDeviceFile(source, &records))
        return false;
    // Every value is checked before the first one reaches the device.
    QStringList refused;
    int applied = 0;
    if (!CParameterValues::apply(parameter, records, CParameterValues::MISSING_REFUSED, &refused, &applied)) {
        tell(LEVEL_ERROR, tr("'%1' holds values the device cannot take; nothing was written:\n%2")
                              .arg(QDir::toNativeSeparators(source), refused.join(QLatin1Char('\n'))));
        return false;
    }
    parameter->writeData();
    parameter->readData();
    tell(LEVEL_INFO, tr("%1 parameters loaded from %2 and written to the device")
                         .arg(applied)
                         .arg(QDir::toNativeSeparators(source)));
    return true;
}

QPrintPreviewDialog* CStudioWindow::printPreview()
{
    CTreeModel* parameter = readParameters();
    if (!parameter)
        return nullptr;
    auto* dialog = new QPrintPreviewDialog(this);
    dialog->setObjectName(QStringLiteral("printPreview"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The values as they are now, however long the preview stays open.
    const QMap<QString, QString> description = m_backend->parameterFileDescription();
    const QList<CDataPoint> data = CParameterFile::parameterData(parameter);
    connect(dialog, &QPrintPreviewDialog::paintRequested, dialog,
            [description, data](QPrinter* printer) { CParameterFile::printPdf(printer, description, data); });
    dialog->open();
    return dialog;
}

bool CStudioWindow::compareWithFile(const QString& fileName)
{
    CTreeModel* parameter = readParameters();
    const QString source = !parameter || !fileName.isEmpty() ? fileName
        : askFile(false, tr("Compare with file"), PARAMETER_FILTER);
    QList<CDataPoint> records;
    if (!parameter || source.isEmpty() || !readDeviceFile(source, &records))
        return false;
    const QList<CParameterValues::Difference> differences = CParameterValues::differences(parameter, records);

    if (!m_differencesDialog) {
        m_differencesDialog = new QDialog(this);
        m_differencesDialog->setObjectName(QStringLiteral("differencesDialog"));
        m_differencesDialog->resize(640, 360);
        m_differences = new QTableWidget(0, 3, m_differencesDialog);
        m_differences->setObjectName(QStringLiteral("differences"));
        m_differences->setHorizontalHeaderLabels({ tr("Caption"), tr("Device"), tr("File") });
        m_differences->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        m_differences->setEditTriggers(QAbstractItemView::NoEditTriggers);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, m_differencesDialog);
        connect(buttons, &QDialogButtonBox::rejected, m_differencesDialog, &QDialog::close);
        auto* layout = new QVBoxLayout(m_differencesDialog);
        layout->addWidget(m_differences);
        layout->addWidget(buttons);
    }
    m_differencesDialog->setWindowTitle(tr("Device and %1").arg(QFileInfo(source).fileName()));
    const QString absent = tr("(none)");
    m_differences->setRowCount(differences.size());
    for (int row = 0; row < differences.size(); ++row) {
        const CParameterValues::Difference& difference = differences.at(row);
        m_differences->setItem(row, 0, new QTableWidgetItem(difference.caption));
        m_differences->setItem(row, 1, new QTableWidgetItem(difference.inDevice ? difference.deviceText : absent));
        m_differences->setItem(row, 2, new QTableWidgetItem(difference.inFile ? difference.fileText : absent));
    }
    m_differencesDialog->show();
    tell(LEVEL_INFO, differences.isEmpty()
             ? tr("The device holds the values of %1.").arg(QDir::toNativeSeparators(source))
             : tr("%n value(s) differ from %1.", nullptr, differences.size()).arg(QDir::toNativeSeparators(source)));
    return true;
}

bool CStudioWindow::isRecording() const
{
    return !m_recorder->fileName().isEmpty();
}

bool CStudioWindow::startRecording(const QString& fileName)
{
    CChartModel* chart = processChart();
    const QString target = !chart || !fileName.isEmpty()
        ? fileName
        : askFile(true, tr("Record process values"), tr("Record files (*.csv)"));
    if (!chart || target.isEmpty()) {
        m_recordAction->setChecked(false);
        return false;
    }
    stopRecording();
    const CDeviceDescription device = m_backend->currentDeviceDescription();
    m_recorder->setDevice(device.name, device.pabVersion);
    m_recorder->setHeaderNames(chart->dataNames());
    m_recorder->setFilePath(QFileInfo(target).absolutePath());
    if (!m_recorder->start(target)) {
        m_recordAction->setChecked(false);
        return false; // the recorder has said why
    }
    connect(chart, qOverload<QHash<QString, QString>>(&CChartModel::newDataAdded), m_recorder,
            &CRecordFile::appendData);
    m_recordAction->setChecked(true);
    setLive(true);
    statusBar()->showMessage(tr("Recording to %1").arg(QDir::toNativeSeparators(target)));
    return true;
}

void CStudioWindow::stopRecording()
{
    if (CChartModel* chart = processChart())
        disconnect(chart, qOverload<QHash<QString, QString>>(&CChartModel::newDataAdded), m_recorder,
                   &CRecordFile::appendData);
    if (isRecording())
        statusBar()->showMessage(tr("Recording stopped."), STATUS_TIMEOUT_MS);
    m_recorder->stop();
    if (m_recordAction)
        m_recordAction->setChecked(false);
}

bool CStudioWindow::openRecording(const QString& fileName)
{
    CChartModel* chart = processChart();
    const QString source = !chart || !fileName.isEmpty()
        ? fileName
        : askFile(false, tr("Open recording"), tr("Record files (*.csv)"));
    if (!chart || source.isEmpty())
        return false;
    QString why;
    const QHash<QString, QVector<QVariant>> block = CRecordFile::readRecord(source, &why);
    if (block.isEmpty()) {
        tell(LEVEL_ERROR, tr("Could not read the recording '%1'.\n%2").arg(QDir::toNativeSeparators(source), why));
        return false;
    }
    stopRecording();
    setLive(false);
    chart->insertRecord(block, m_descriptionLanguage);
    m_tabs->setCurrentWidget(m_chart);
    statusBar()->showMessage(tr("Showing the recording %1").arg(QDir::toNativeSeparators(source)));
    return true;
}

int CStudioWindow::updateFirmware(const QString& fileName)
{
    QString image = fileName;
    if (image.isEmpty()) {
        const QString directory = QCoreApplication::applicationDirPath() + CFlasher::FIRMWARE_PATH;
        image = QFileDialog::getOpenFileName(this, tr("Firmware image"), directory, tr("Firmware images (*.bin)"));
        if (image.isEmpty())
            return 1;
    }
    setLive(false);
    stopRecording();
    auto* progress = new QProgressDialog(tr("Updating the firmware with %1...").arg(QFileInfo(image).fileName()),
                                         tr("Abort"), 0, 100, this);
    progress->setObjectName(QStringLiteral("firmwareProgress"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setValue(0);
    const QMetaObject::Connection shown =
        connect(m_backend, &CDataBackend::firmwareUpdateProgress, progress, &QProgressDialog::setValue);
    connect(progress, &QProgressDialog::canceled, m_backend, &CDataBackend::abortUpdateFirmware);
    // The back end runs the whole update in its own event loop.
    const int result = m_backend->startUpdateFirmware(image, false, true);
    disconnect(shown);
    progress->disconnect(m_backend);
    progress->deleteLater();
    if (result == 0)
        tell(LEVEL_INFO, tr("Firmware updated with %1; the parameters are written back.").arg(QFileInfo(image).fileName()));
    else
        tell(LEVEL_ERROR, tr("The firmware update did not complete."));
    updateActions();
    return result;
}

void CStudioWindow::showError(const QString& caption, const QString& text)
{
    report(LEVEL_ERROR, caption, text);
}

void CStudioWindow::showWarning(const QString& caption, const QString& text)
{
    report(LEVEL_WARNING, caption, text);
}

void CStudioWindow::showInfo(const QString& caption, const QString& text)
{
    report(LEVEL_INFO, caption, text);
}

void CStudioWindow::tell(ENUM_LEVEL level, const QString& text)
{
    report(level, QString(), text);
}

void CStudioWindow::report(ENUM_LEVEL level, const QString& caption, const QString& text)
{
    const QString title = caption.isEmpty() ? windowTitle() : CMessageSender::captionText(caption);
    const QString line = caption.isEmpty() ? text : QStringLiteral("%1: %2").arg(title, text);
    m_lastMessage = line;
    statusBar()->showMessage(QString(line).replace(QLatin1Char('\n'), QLatin1Char(' ')), STATUS_TIMEOUT_MS);
    const char* const prefixes[] = { "", "Warning: ", "Error: " };
    appendLog(QString::fromLatin1(prefixes[level]) + line);
    if (level == LEVEL_ERROR) {
        auto* box = new QMessageBox(QMessageBox::Critical, title, text, QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("errorBox"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    }
    emit messageShown(title, text);
}

void CStudioWindow::appendLog(const QString& line)
{
    m_log->appendPlainText(line);
}
