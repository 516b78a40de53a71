#pragma once

#include "backend/CMessageSender.h"
#include "interfaces/CBaseInterface.h"
#include "items/CDeviceDescription.h"
#include "paramica_export.h"
#include "protocol/CRequest.h"
#include "xml/CFunctionalFeature.h"

#include <memory>

#include <QList>
#include <QString>
#include <QStringList>

class CBaseInterface;
class CBaseWidget;
class CChartModel;
class CItem;
class CLog;
class CPluginInterface;
class CProgramTableModel;
class CProtocolMaster;
class CTreeModel;
class CXmlParser;
class CElementMap;

// The one object through which the front end drives the library: it owns the
// transport and the protocol master, wires them together, routes requests in
// and answers out, and carries the message hub and the log.
class PARAMICA_EXPORT CDataBackend : public CMessageSender
{
    Q_OBJECT

public:
    static const QString PLUGIN_PATH;
    static const QString PLUGIN_PREFIX;
    static const QString PLUGIN_EXTENSION;
    static const QString XML_PATH;
    static const QString XML_TRANSLATIONS_PATH;
    static const QString XML_SUFFIX;

    static CDataBackend* instance();
    ~CDataBackend() override;

    bool openInterface(ENUM_INTERFACE_TYPE type, const QString& portName, uchar address);
    bool openInterface(uchar address);
    bool closeInterface();
    void setComProtocol(ENUM_PROTOCOL_TYPE type);
    void setInterfaceSettings(const STRUCT_SERIAL_SETTINGS& settings);
    STRUCT_SERIAL_SETTINGS interfaceSettings() const { return m_serialSettings; }
    bool isConnected() const;
    QString portName() const;
    // Why the last openInterface failed, in the system's words (connection
    // refused, no such serial port, permission denied); empty after one that
    // succeeded or when the system gave no reason.
    QString connectionError() const { return m_connectionError; }
    // Bounds the answer wait of every request, retries included, from now on
    // and for every later protocol master; 0 gives each request type its own.
    void setAnswerTimeout(int milliseconds);
    int answerTimeout() const { return m_answerTimeoutMs; }
    // The library's version, MAJOR.MINOR.PATCH.
    static QString version();
    ENUM_INTERFACE_TYPE currentInterfaceType() const;
    // The current master, for front ends that watch its answers; null until
    // setComProtocol.
    CProtocolMaster* protocolMaster() const { return m_protocolMaster; }

    // Plug-ins from the plug-in directory below the application directory.
    void loadPlugins();
    void loadPlugins(const QString& directory);
    int pluginCount() const { return m_pluginInstances.size(); }
    bool activatePlugin(const QString& id);
    QString pluginName() const;
    QList<CBaseWidget*> pluginWidgets() const;
    QStringList getDeviceFlashNames(const QString& name) const;
    // The number the active device's firmware images carry, from its order
    // number (4711 for 47110001 or 4711XXXX); empty without an active device.
    QString deviceNumber() const;
    QObject* deviceFront() const;
    bool setupPlugin(const QString& text);

    // Device files: the descriptions below the application directory.
    void loadDeviceFileNames();
    void loadDeviceFileNames(const QString& directory);
    // The description files the listing refused, each as the file and why.
    QStringList refusedDeviceFiles() const;
    QStringList availableDevices() const;
    QString currentDevice() const;
    CDeviceDescription currentDeviceDescription() const { return m_currentDevice; }
    // The header of a parameter file of the active device, dated now.
    QMap<QString, QString> parameterFileDescription() const;
    bool isDeviceActive() const { return m_deviceActive; }
    bool activateDeviceByName(const QString& deviceId);
    bool activateDeviceById(const QString& orderNumber, const QString& version, bool selected);
    bool activateDevice(const QString& orderNumber, const QString& version, bool selected);
    CDeviceDescription setupXmlData(const QString& orderNumber, const QString& version, const QString& name);
    bool setupModels(const QString& fileName);
    void setupFeatures();
    void setupProgramModels(const CFunctionalFeature& feature);
    CFunctionalFeature feature(int type) const;
    QHash<QString, QHash<QString, QString>> translations() const;
    bool deactivateDevice();
    void resetModels();
    QList<CTreeModel*> models() const { return m_models; }
    QList<CProgramTableModel*> programModels() const { return m_programModels; }
    // The tree model of the active device with this name, or null.
    CTreeModel* model(const QString& name) const;
    // The chart model of the process values of the tree model with this
    // name ("PabOut" gives "PabOut_Data"), or null.
    CChartModel* chartModel(const QString& name) const;

signals:
    void interfaceReseted();
    void restartProtocolStateMachine();
    void deviceActivated(QString name);
    void deviceDeactivated();
    void deviceChecked(bool state);
    void deviceConnected(bool state);
    void log(QString line);
    void dateTimeResponse(QByteArray data);
    void programDataResponse(QByteArray data);
    void errorLogResponse(QByteArray data);
    void ioMappingResponse(QByteArray data);
    void recordResponse(QByteArray data);
    void deviceAckResponse();
    void deviceNackResponse();
    void deviceIdCheck(QString productCode, QString version);
    void deviceIdRead(QString productCode, QString version);
    void firmwareUpdateStarted();
    void firmwareUpdateFinished(int result);
    void firmwareUpdateProgress(int percent);
    void dataRead();
    void dataWritten();

public slots:
    void resetInterface();
    void interfaceError();
    void scanDevice();
    void readDid();
    void writeGotoBl(ushort modus);
    void cyclicReadPabChanged(bool state);
    void buildRequests(const QList<CRequest>& requests);
    void buildRequest(const CRequest& request);
    // Reads the boot loader's identification and switches back to the
    // application; on success (0) deviceIdRead tells product code and version.
    int startReadDidProcess();
    // Updates the firmware and keeps the device's parameters: 0 success,
    // 1 refused, failed, aborted or timed out (errorMessage says why, except
    // for an abort from outside and an expired watchdog).
    int startUpdateFirmware(const QString& fileName, bool isBootLoader, bool withChecks);
    // The bare transfer: firmwareUpdateFinished tells the result.
    void updateFirmware(const QString& fileName, bool withChecks);
    void abortUpdateFirmware();
    void scanResponse(const QStringList& entries);
    void didResponse(const QStringList& entries);
    void setDeviceAddress(uchar address);

private slots:
    void setupDevice();
    void checkDevice();
    void initializeDevice(bool state);
    void dataResponse(const QByteArray& data);

private:
    CDataBackend();
    // Silences the current master and releases it from the event loop.
    void retireMaster();
    // Ends a running firmware update, which reports its failure, before the
    // master or the transport it runs on goes.
    void stopRunningUpdate();
    // True, and the user told, while another firmware workflow waits in its loop.
    bool refuseSecondWorkflow();
    // Lets the model (and its chart) take the current master's answers.
    void connectAnswers(CTreeModel* treeModel);
    void readDeviceInfo();
    // The listed device files; the listing runs on first use.
    const QList<CDeviceDescription>& deviceFiles() const;
    CItem* firstItemContaining(CTreeModel* model, const QString& part) const;
    void setupChartModel(CTreeModel* treeModel, const CElementMap* object,
                         const QHash<QString, QHash<QString, QString>>& texts);

    static CDataBackend* Instance;

    CPluginInterface* m_plugin = nullptr;
    CProtocolMaster* m_protocolMaster = nullptr;
    CBaseInterface* m_interface = nullptr;
    std::unique_ptr<CXmlParser> m_xmlParser;
    CLog* m_log = nullptr;
    QList<QObject*> m_pluginInstances;
    QList<CTreeModel*> m_models;
    QList<CProgramTableModel*> m_programModels;
    QList<CFunctionalFeature> m_features;
    QList<CDeviceDescription> m_deviceFiles;
    QStringList m_refusedDeviceFiles;
    bool m_deviceFilesListed = false;
    STRUCT_SERIAL_SETTINGS m_serialSettings;
    CDeviceDescription m_currentDevice;
    bool m_deviceActive = false;
    int m_noMatchCount = 0;
    QString m_connectionError;
    int m_answerTimeoutMs = 0;
    // A firmware update or boot-loader identification is waiting in its loop.
    bool m_workflowRunning = false;
};
