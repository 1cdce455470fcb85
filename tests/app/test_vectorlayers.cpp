// Shapefiles draped over the scene from the File menu, and clearing the scene.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <osg/Geometry>

#include "mainwindow.h"
#include "modaldriver.h"
#include "readshpdialog.h"
#include "testmodels.h"
#include "testshapefiles.h"

namespace {

TEST(VectorLayers, ChosenShapefileIsAddedAsALayerAndClearRemovesEverything) {
    QTemporaryDir folder;
    const std::string roads = folder.path().toStdString() + "/roads.shp";
    writeVectorFile(roads, wkbLineString25D,
                    {{wkbLineString25D, {{0, 0, 10}, {100, 0, 12}, {200, 50, 15}}, "G318"},
                     {wkbLineString25D, {{0, 100, 10}, {100, 120, 11}}, "乡道"}});
    MainWindow window;
    showMainWindow(window);
    ASSERT_TRUE(waitUntil([&] { return window.isVisible(); }));
    window.sceneRoot()->addChild(makeTerrainPatch(0, 0, 300, 0).get());

    triggerMenuAction(window, "加载矢量数据");
    ReadshpDialog* dialog = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<ReadshpDialog*>(widget); found && found->isVisible()) {
                dialog = found;
            }
        }
        return dialog != nullptr;
    }));
    ModalDriver choose(chooseFile(QString::fromStdString(roads)));
    QTest::mouseClick(dialog->findChild<QPushButton*>("choosefile"), Qt::LeftButton);
    ASSERT_TRUE(choose.answered());
    QTest::mouseClick(dialog->findChild<QPushButton*>("pushButton"), Qt::LeftButton);

    // The terrain, then the layer: a label geode and the line geode with both roads.
    ASSERT_EQ(window.sceneRoot()->getNumChildren(), 2u);
    osg::Group* layer = window.sceneRoot()->getChild(1)->asGroup();
    ASSERT_NE(layer, nullptr);
    ASSERT_EQ(layer->getNumChildren(), 2u);
    const osg::Geode* lines = layer->getChild(1)->asGeode();
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(lines->getNumDrawables(), 2u);
    EXPECT_EQ(lines->getDrawable(0)->asGeometry()->getPrimitiveSet(0)->getMode(),
              static_cast<GLenum>(GL_LINE_STRIP));

    triggerMenuAction(window, "清除数据");
    EXPECT_EQ(window.sceneRoot()->getNumChildren(), 0u);
    dialog->close();
}

}  // namespace
