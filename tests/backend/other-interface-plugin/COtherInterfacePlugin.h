#pragma once

#include <QObject>

// A well-formed Qt plug-in that implements some other application's interface:
// the back end must load it and then pass it over.
class COtherInterfacePlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.example.other.plugin/1.0")
};
