#include "velkawindow.h"

#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"
#include "recentfiles.h"
#include "velkaapplication.h"

#include <QFileInfo>

namespace {
constexpr int UndoRedoLimit = 100;
} // namespace

VelkaWindow::VelkaWindow(QWidget *parent) : QMainWindow(parent)
{
    // Until the canvas takes its place: a surface that takes the focus, so
    // that the window's keys reach it.
    auto *canvas = new QWidget(this);
    canvas->setFocusPolicy(Qt::StrongFocus);
    setCentralWidget(canvas);
    resize(800, 600);

    m_model = new QmdMemModel(this);
    m_controller = new QmdVelkaController(this);
    m_controller->setModel(m_model);
    m_controller->requestSetUndoRedoLimit(UndoRedoLimit);

    connect(m_controller, &QmdDocController::fileLoaded, this, &VelkaWindow::onFileLoaded);
    connect(m_controller, &QmdDocController::fileNameChanged, this,
            [this](const QString &fileName) { onFileNameChanged(fileName); });
    connect(m_controller, &QmdController::atCleanStateChanged, this,
            [this](bool atCleanState) { onAtCleanStateChanged(atCleanState); });
    connect(m_controller, &QmdController::modelReset, this, &VelkaWindow::reset);
    reset();
}

VelkaWindow::~VelkaWindow()
{
    delete m_controller;
    m_controller = nullptr;
    delete m_model;
    m_model = nullptr;
}

void VelkaWindow::reset()
{
    onFileNameChanged(m_controller->fileName());
    onAtCleanStateChanged(m_controller->isAtCleanState());
}

void VelkaWindow::onFileLoaded()
{
    if (VelkaApplication *app = VelkaApplication::instance())
        RecentFiles::add(app->settings(), m_controller->fileName());
}

void VelkaWindow::onFileNameChanged(const QString &fileName)
{
    setWindowFilePath(fileName);
    // An untitled document has no marker placeholder, so it never shows one.
    setWindowTitle(fileName.isEmpty() ? tr("Untitled")
                                      : QFileInfo(fileName).baseName() + QStringLiteral("[*]"));
}

void VelkaWindow::onAtCleanStateChanged(bool atCleanState)
{
    setWindowModified(!atCleanState);
}
