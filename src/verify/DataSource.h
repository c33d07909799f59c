#pragma once

#include "DataSet.h"

#include <QObject>

// Points controls at a dataset; a named component of the form that shows them.
class TDataSource : public QObject
{
    Q_OBJECT
public:
    explicit TDataSource(QObject *parent = nullptr)
        : QObject(parent)
    {}
    TQuery *DataSet = nullptr;
};
