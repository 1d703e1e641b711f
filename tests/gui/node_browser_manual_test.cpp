// For trying the node browser by hand (under Xvfb with xdotool, or on a desktop) before the map
// page opens it: with QM_BROWSE_PROJECT set to a project file (and QM_BROWSE_NODE to a node ID,
// default 1) this opens the browser on that node and returns when the browser is closed.
// Without the variables it does nothing.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include "framework/scene_document.h"
#include "nodes/node_browser.h"
#include "project/project_reader.h"

namespace qm {

TEST(ManualBrowser, OpensTheBrowserOnAProjectUntilItCloses)
{
    const QString project = qEnvironmentVariable("QM_BROWSE_PROJECT");
    if (project.isEmpty())
        GTEST_SKIP() << "QM_BROWSE_PROJECT not set";
    Scene scene;
    ProjectReadOptions options;
    options.extractComposedMovie = false;
    ASSERT_EQ(openProject(project.toStdString(), scene, options), 0);
    scene.projectFile = project.toStdString();
    SceneDocument document(std::move(scene));
    const int node = qEnvironmentVariableIsSet("QM_BROWSE_NODE") ? qEnvironmentVariableIntValue("QM_BROWSE_NODE") : 1;
    NodeBrowser* browser = openNodeBrowser(document, std::int16_t(node));
    ASSERT_NE(browser, nullptr);
    QEventLoop loop;
    QObject::connect(browser, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace qm
