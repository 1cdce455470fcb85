// Shapefiles as vector layers: the builder's scene graph for points, lines and polygons, and the dialog
// that collects the file, colours and label size.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>


#include <QColorDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <osg/Geometry>
#include <osg/LineStipple>
#include <osg/LineWidth>
#include <osg/TriangleFunctor>

#include "modaldriver.h"
#include "readshpdialog.h"
#include "scenegraph.h"
#include "testfiles.h"
#include "testshapefiles.h"

namespace {

osg::Vec4 rgba(const QColor& c) {
    return osg::Vec4(c.redF(), c.greenF(), c.blueF(), c.alphaF());
}

struct TriangleArea {
    double area = 0.0;
    void operator()(const osg::Vec3& a, const osg::Vec3& b, const osg::Vec3& c) {
        area += 0.5 * std::abs(((b - a) ^ (c - a)).z());
    }
};

double coveredArea(osg::Geometry& geometry) {
    osg::TriangleFunctor<TriangleArea> functor;
    geometry.accept(functor);
    return functor.area;
}

osg::Geometry* geometryAt(osg::Geode* geode, unsigned index) {
    if (!geode || index >= geode->getNumDrawables()) {
        ADD_FAILURE() << "no drawable " << index;
        return nullptr;
    }
    return geode->getDrawable(index)->asGeometry();
}

osg::Vec4 overallColor(const osg::Geometry& geometry) {
    const auto* colors = dynamic_cast<const osg::Vec4Array*>(geometry.getColorArray());
    EXPECT_NE(colors, nullptr);
    EXPECT_EQ(geometry.getColorArray()->getBinding(), osg::Array::BIND_OVERALL);
    return colors && colors->size() == 1 ? colors->front() : osg::Vec4();
}

// The line width a geometry sets, or -1 when it sets none.
float lineWidthOf(const osg::Geometry& geometry) {
    const osg::StateSet* state = geometry.getStateSet();
    const auto* width =
        state ? dynamic_cast<const osg::LineWidth*>(state->getAttribute(osg::StateAttribute::LINEWIDTH))
              : nullptr;
    return width ? width->getWidth() : -1.0f;
}

// Lines and polygons: depth test forced on with an always-passing function, in their own render bin.
void expectDrawnOverTerrain(const osg::Geode* geode, int bin) {
    ASSERT_TRUE(geode && geode->getStateSet());
    const osg::StateSet* state = geode->getStateSet();
    const osg::StateSet::RefAttributePair* depth = state->getAttributePair(osg::StateAttribute::DEPTH);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(static_cast<const osg::Depth*>(depth->first.get())->getFunction(), osg::Depth::ALWAYS);
    EXPECT_EQ(depth->second, osg::StateAttribute::OVERRIDE);
    EXPECT_EQ(state->getMode(GL_DEPTH_TEST), osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
    EXPECT_EQ(state->getRenderingHint(), osg::StateSet::DEFAULT_BIN);
    EXPECT_EQ(state->getRenderBinMode(), osg::StateSet::USE_RENDERBIN_DETAILS);
    EXPECT_EQ(state->getBinNumber(), bin);
    EXPECT_EQ(state->getBinName(), "RenderBin");
}

void expectLabel(const osgText::Text* label, const std::string& text, const osg::Vec3& position,
                 const osg::Vec4& boxColor, const QColor& textColor, int size) {
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(utf8(*label), text);
    EXPECT_EQ(fontFile(*label).substr(fontFile(*label).rfind('/') + 1), "simhei.ttf");
    EXPECT_EQ(label->getColor(), rgba(textColor));
    EXPECT_EQ(label->getCharacterSizeMode(), osgText::Text::SCREEN_COORDS);
    EXPECT_TRUE(label->getAutoRotateToScreen());
    EXPECT_EQ(label->getCharacterHeight(), size);
    EXPECT_LT((label->getPosition() - position).length(), 1e-3) << label->getPosition().z();
    EXPECT_EQ(label->getDataVariance(), osg::Object::DYNAMIC);
    EXPECT_EQ(label->getDrawMode(), 5u);
    EXPECT_EQ(label->getBoundingBoxColor(), boxColor);
}

class VectorLayerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    std::string file(const std::string& name) const { return dir.path().toStdString() + "/" + name; }

    QTemporaryDir dir;
    ReadshpDialog builder;
};

TEST_F(VectorLayerTest, PointsBecomeBoxedLabelsAboveThePoints) {
    writeVectorFile(file("towns.shp"), wkbPoint25D,
                    {{wkbPoint25D, {{500100.5, 3400200.25, 1200}}, "金江镇"},
                     {wkbPoint25D, {{500300, 3400400, -15}}, ""},
                     {wkbPoint25D, {{500500, 3400600, 0}}, "Bridge 2"}});
    builder.textColor = QColor(10, 200, 30, 128);
    builder.textSize = 24;
    testing::internal::CaptureStdout();
    builder.readShapefile(file("towns.shp").c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "towns 's FeatureCount :3\n");
    ASSERT_EQ(builder.points.size(), 3u);
    EXPECT_EQ(builder.geometryType, 1);
    EXPECT_EQ(builder.points[0].x, 500100.5);
    EXPECT_EQ(builder.points[0].y, 3400200.25);

    osg::ref_ptr<osg::Group> layer = builder.buildLayer();
    ASSERT_EQ(layer->getNumChildren(), 1u);
    osg::Geode* geode = geodeAt(layer, 0);
    expectAlwaysOnTop(geode);
    const std::vector<osgText::Text*> labels = textsOf(geode);
    ASSERT_EQ(labels.size(), 3u);
    const osg::Vec4 box(1.0f, 1.0f, 0.6f, 1.0f);
    // A point without a name still gets its (empty) label.
    expectLabel(labels[0], "金江镇", osg::Vec3(500100.5, 3400200.25, 1205), box, builder.textColor, 24);
    expectLabel(labels[1], "", osg::Vec3(500300, 3400400, -10), box, builder.textColor, 24);
    expectLabel(labels[2], "Bridge 2", osg::Vec3(500500, 3400600, 5), box, builder.textColor, 24);
}

TEST_F(VectorLayerTest, LinesAreDrawnWithTheBuildersSettings) {
    writeVectorFile(file("rivers.shp"), wkbLineString25D,
                    {{wkbLineString25D, {{0, 0, 10}, {100, 0, 20}, {100, 100, 30}}, "大渡河"},
                     {wkbLineString25D, {{0, 200, 0}, {50, 250, 0}}, ""}});
    const struct {
        const char* what;
        int lineStyle;
        float lineWidth, renderBin, featureAlpha;
        int expectedBin;
    } cases[] = {
        {"defaults", 0, 3.0f, 1.0f, 1.0f, 1},
        {"stippled, wide, translucent", 1, 5.0f, 6.0f, 0.4f, 6},
        {"bin truncated", 0, 1.5f, 4.9f, 1.0f, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ReadshpDialog lines;
        lines.vectorColor = QColor(0, 102, 255);
        lines.textColor = QColor(255, 255, 0);
        lines.textSize = 18;
        lines.lineStyle = c.lineStyle;
        lines.lineWidth = c.lineWidth;
        lines.renderBin = c.renderBin;
        lines.featureAlpha = c.featureAlpha;
        lines.readShapefile(file("rivers.shp").c_str());
        EXPECT_EQ(lines.geometryType, 2);
        osg::ref_ptr<osg::Group> layer = lines.buildLayer();
        // The builder is left with alpha 1 and bin 3 for its next layer.
        EXPECT_EQ(lines.featureAlpha, 1.0f);
        EXPECT_EQ(lines.renderBin, 3.0f);

        ASSERT_EQ(layer->getNumChildren(), 2u);
        osg::Geode* labelGeode = geodeAt(layer, 0);
        osg::Geode* lineGeode = geodeAt(layer, 1);
        expectDrawnOverTerrain(lineGeode, c.expectedBin);
        expectAlwaysOnTop(labelGeode);
        ASSERT_EQ(lineGeode->getNumDrawables(), 2u);
        const int vertexCounts[] = {3, 2};
        for (unsigned i = 0; i < 2; ++i) {
            osg::Geometry* line = geometryAt(lineGeode, i);
            ASSERT_TRUE(line && line->getNumPrimitiveSets() == 1 && line->getStateSet());
            const auto* strip = dynamic_cast<const osg::DrawArrays*>(line->getPrimitiveSet(0));
            ASSERT_NE(strip, nullptr);
            EXPECT_EQ(strip->getMode(), static_cast<GLenum>(GL_LINE_STRIP));
            EXPECT_EQ(strip->getFirst(), 0);
            EXPECT_EQ(strip->getCount(), vertexCounts[i]);
            EXPECT_EQ(overallColor(*line), osg::Vec4(0.0f, 0.4f, 1.0f, c.featureAlpha));
            EXPECT_EQ(lineWidthOf(*line), c.lineWidth);
            const osg::StateSet* state = line->getStateSet();
            const osg::StateSet::RefAttributePair* stipple =
                state->getAttributePair(osg::StateAttribute::LINESTIPPLE);
            if (c.lineStyle == 1) {
                ASSERT_NE(stipple, nullptr);
                const auto* pattern = static_cast<const osg::LineStipple*>(stipple->first.get());
                EXPECT_EQ(pattern->getFactor(), 3);
                EXPECT_EQ(pattern->getPattern(), 0x3F07);
                EXPECT_EQ(stipple->second, osg::StateAttribute::OVERRIDE);
                EXPECT_EQ(state->getMode(GL_LINE_STIPPLE),
                          osg::StateAttribute::ON | osg::StateAttribute::OVERRIDE);
            } else {
                EXPECT_EQ(stipple, nullptr);
                EXPECT_EQ(state->getMode(GL_LINE_STIPPLE), osg::StateAttribute::INHERIT);
            }
        }
        EXPECT_EQ((*static_cast<osg::Vec3Array*>(geometryAt(lineGeode, 0)->getVertexArray()))[2],
                  osg::Vec3(100, 100, 30));

        // Only the named line is labelled, above the centre of its bound.
        const std::vector<osgText::Text*> labels = textsOf(labelGeode);
        ASSERT_EQ(labels.size(), 1u);
        expectLabel(labels[0], "大渡河", geometryAt(lineGeode, 0)->getBound().center() + osg::Vec3(0, 0, 5),
                    osg::Vec4(1, 1, 1, 1), lines.textColor, 18);
    }
}

TEST_F(VectorLayerTest, PolygonsAreTessellatedAndDrawnInTheirBin) {
    // An L-shaped (concave) outline of area 300 x 100 + 100 x 200 = 50000, and a plain square.
    writeVectorFile(
        file("houses.shp"), wkbPolygon25D,
        {{wkbPolygon25D,
          {{0, 0, 7}, {300, 0, 7}, {300, 100, 7}, {100, 100, 7}, {100, 300, 7}, {0, 300, 7}},
          "民居"},
         {wkbPolygon25D, {{1000, 1000, 0}, {1010, 1000, 0}, {1010, 1010, 0}, {1000, 1010, 0}}, ""}});
    for (const float alpha : {1.0f, 0.5f}) {
        SCOPED_TRACE(alpha);
        ReadshpDialog polygons;
        polygons.vectorColor = QColor(176, 232, 220);
        polygons.featureAlpha = alpha;
        polygons.lineWidth = 9.0f;
        polygons.renderBin = 6.0f;
        polygons.readShapefile(file("houses.shp").c_str());
        EXPECT_EQ(polygons.geometryType, 3);
        osg::ref_ptr<osg::Group> layer = polygons.buildLayer();
        EXPECT_EQ(polygons.featureAlpha, 1.0f);
        EXPECT_EQ(polygons.renderBin, 3.0f);

        ASSERT_EQ(layer->getNumChildren(), 2u);
        osg::Geode* polygonGeode = geodeAt(layer, 0);
        osg::Geode* labelGeode = geodeAt(layer, 1);
        expectDrawnOverTerrain(polygonGeode, 30);
        expectAlwaysOnTop(labelGeode);
        ASSERT_EQ(polygonGeode->getNumDrawables(), 2u);
        const double areas[] = {50000.0, 100.0};
        for (unsigned i = 0; i < 2; ++i) {
            osg::Geometry* polygon = geometryAt(polygonGeode, i);
            ASSERT_TRUE(polygon && polygon->getNumPrimitiveSets() > 0 && polygon->getStateSet());
            for (unsigned p = 0; p < polygon->getNumPrimitiveSets(); ++p) {
                const GLenum mode = polygon->getPrimitiveSet(p)->getMode();
                EXPECT_TRUE(mode == GL_TRIANGLES || mode == GL_TRIANGLE_FAN || mode == GL_TRIANGLE_STRIP)
                    << mode;
            }
            EXPECT_NEAR(coveredArea(*polygon), areas[i], 1e-3);
            EXPECT_EQ(overallColor(*polygon), osg::Vec4(176 / 255.0f, 232 / 255.0f, 220 / 255.0f, alpha));
            EXPECT_EQ(polygon->getStateSet()->getMode(GL_BLEND),
                      alpha != 1.0f ? osg::StateAttribute::ON : osg::StateAttribute::INHERIT);
            EXPECT_EQ(lineWidthOf(*polygon), 3.0f);
        }
        EXPECT_EQ(polygonGeode->getDrawable(0)->getBound().center().z(), 7.0f);

        const std::vector<osgText::Text*> labels = textsOf(labelGeode);
        ASSERT_EQ(labels.size(), 1u);
        expectLabel(labels[0], "民居", geometryAt(polygonGeode, 0)->getBound().center() + osg::Vec3(0, 0, 5),
                    osg::Vec4(0.0f, 1.0f, 0.9f, 1.0f), polygons.textColor, 30);
    }
}

TEST_F(VectorLayerTest, MixedFileDrawsOnlyTheKindOfItsLastFeature) {
    const std::vector<osg::Vec3d> outline = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}};
    const struct {
        const char* what;
        std::vector<OGRwkbGeometryType> kinds;
        int lastKind;
        size_t drawn;  // features in the drawn geode
    } cases[] = {
        {"line, polygon, line", {wkbLineString, wkbPolygon, wkbLineString}, 2, 2},
        {"polygon, line, polygon", {wkbPolygon, wkbLineString, wkbPolygon}, 3, 2},
        {"line, point", {wkbLineString, wkbPoint}, 1, 1},
        {"point, then a kind that is skipped", {wkbPoint, wkbMultiLineString}, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<TestFeature> features;
        for (OGRwkbGeometryType kind : c.kinds) {
            features.push_back({kind, kind == wkbPoint ? std::vector<osg::Vec3d>{{5, 5, 0}} : outline, "n"});
        }
        const std::string path = file(std::string(c.what) + ".geojson");
        writeVectorFile(path, wkbUnknown, features);
        ReadshpDialog mixed;
        mixed.readShapefile(path.c_str());
        EXPECT_EQ(mixed.geometryType, c.lastKind);
        osg::ref_ptr<osg::Group> layer = mixed.buildLayer();
        // Points: one geode; lines: label geode first; polygons: shape geode first.
        ASSERT_EQ(layer->getNumChildren(), c.lastKind == 1 ? 1u : 2u);
        osg::Geode* drawn = geodeAt(layer, c.lastKind == 2 ? 1 : 0);
        ASSERT_EQ(drawn->getNumDrawables(), c.drawn);
        if (c.lastKind == 1) {
            EXPECT_NE(dynamic_cast<osgText::Text*>(drawn->getDrawable(0)), nullptr);
        } else {
            const GLenum mode = drawn->getDrawable(0)->asGeometry()->getPrimitiveSet(0)->getMode();
            EXPECT_EQ(mode == GL_LINE_STRIP, c.lastKind == 2) << mode;
        }
    }
}

TEST_F(VectorLayerTest, FileThatDoesNotOpenGivesAnEmptyLayerAndTheNextDrawsNormally) {
    writeVectorFile(file("road.shp"), wkbLineString, {{wkbLineString, {{0, 0, 0}, {5, 5, 0}}, "G318"}});
    writeTextFile(file("junk.shp"), "not a shapefile");
    // A pipe as the file or as a companion OGR opens on its own would hold the reader for good.
    writeVectorFile(file("piped.shp"), wkbLineString, {{wkbLineString, {{0, 0, 0}, {5, 5, 0}}, "G318"}});
    ASSERT_EQ(::unlink(file("piped.dbf").c_str()), 0);
    ASSERT_EQ(::mkfifo(file("piped.dbf").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(file("pipe.shp").c_str(), 0600), 0);
    for (const std::string& broken :
         {file("absent.shp"), file("junk.shp"), std::string(), file("pipe.shp"), file("piped.shp")}) {
        SCOPED_TRACE(broken);
        builder.clearFeatures();
        builder.renderBin = 6.0f;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        builder.readShapefile(broken.c_str());
        const std::string why = testing::internal::GetCapturedStderr();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Open failed\n");
        if (broken.find("pipe") != std::string::npos) {
            EXPECT_NE(why.find(broken.substr(0, broken.size() - 4)), std::string::npos) << why;
        }
        EXPECT_FALSE(builder.valid);
        EXPECT_EQ(builder.buildLayer()->getNumChildren(), 0u);
        EXPECT_TRUE(builder.valid);

        builder.readShapefile(file("road.shp").c_str());
        osg::ref_ptr<osg::Group> layer = builder.buildLayer();
        ASSERT_EQ(layer->getNumChildren(), 2u);
        EXPECT_EQ(geodeAt(layer, 1)->getNumDrawables(), 1u);
        EXPECT_EQ(geodeAt(layer, 1)->getStateSet()->getBinNumber(), 6);
    }
}

// The dialog, driven as the user drives it.
class ReadshpDialogTest : public VectorLayerTest {
protected:
    void SetUp() override {
        VectorLayerTest::SetUp();
        dialog.show();
        ASSERT_TRUE(waitUntil([this] { return dialog.isVisible(); }));
        QObject::connect(&dialog, &ReadshpDialog::sendGroup,
                         [this](shapeFormat* format) { sent.emplace_back(format); });
    }

    QPushButton* button(const char* name) const { return dialog.findChild<QPushButton*>(name); }
    QLineEdit* edit(const char* name) const { return dialog.findChild<QLineEdit*>(name); }
    QColor swatch(const char* name) const {
        const QLabel* label = dialog.findChild<QLabel*>(name);
        EXPECT_TRUE(label && label->autoFillBackground() && label->text().isEmpty()) << name;
        return label ? label->palette().color(QPalette::Window) : QColor();
    }

    void chooseShapefile(const std::string& path) {
        ModalDriver fileDialog(chooseFile(QString::fromStdString(path)), 15000, "QFileDialog");
        button("choosefile")->click();
        ASSERT_TRUE(fileDialog.answered());
    }

    ReadshpDialog dialog;
    std::vector<std::unique_ptr<shapeFormat>> sent;
};

TEST_F(ReadshpDialogTest, StartsWithRedFeaturesBlackLabelsAndSize30AndACancelledColourKeepsIt) {
    EXPECT_EQ(dialog.windowTitle(), "加载矢量数据");
    EXPECT_EQ(swatch("colorshow"), QColor(255, 0, 0));
    EXPECT_EQ(swatch("textcolor"), QColor(0, 0, 0));
    EXPECT_EQ(edit("txsize")->text(), "30");

    ModalDriver colorDialog(cancelDialog(), 15000, "QColorDialog");
    button("pushButton_3")->click();
    ASSERT_TRUE(colorDialog.answered());
    EXPECT_EQ(dialog.textColor, QColor(0, 0, 0));
    EXPECT_EQ(swatch("textcolor"), QColor(0, 0, 0));
}

TEST_F(ReadshpDialogTest, SizeFieldTakesDigitsOnly) {
    QLineEdit* size = edit("txsize");
    const std::pair<const char*, const char*> typed[] = {
        {"12a3", "123"}, {"-5", "5"}, {"4.5", "45"}, {"x", ""}};
    for (const auto& [keys, kept] : typed) {
        size->clear();
        size->setFocus();
        QTest::keyClicks(size, keys);
        EXPECT_EQ(size->text(), kept) << keys;
    }
}

TEST_F(ReadshpDialogTest, MissingFileIsRefusedWithAWarning) {
    for (bool chooseFirst : {false, true}) {
        SCOPED_TRACE(chooseFirst ? "chosen, then removed" : "none chosen");
        if (chooseFirst) {
            writeVectorFile(file("gone.shp"), wkbPoint, {{wkbPoint, {{1, 1, 0}}, "a"}});
            chooseShapefile(file("gone.shp"));
            ASSERT_TRUE(QFile::remove(QString::fromStdString(file("gone.shp"))));
        }
        ModalDriver warning(clickButton("OK"), 15000, "QMessageBox");
        button("pushButton")->click();
        ASSERT_TRUE(warning.answered());
        EXPECT_EQ(warning.title(), "警告!");
        EXPECT_EQ(warning.text(), "文件不存在");
        EXPECT_TRUE(sent.empty());
        EXPECT_TRUE(dialog.isVisible());
    }
}

TEST_F(ReadshpDialogTest, ChosenFileIsSentWithColoursAndSizeAndTheDialogStaysOpen) {
    writeVectorFile(file("河流 1.shp"), wkbLineString, {{wkbLineString, {{0, 0, 0}, {5, 5, 0}}, "a"}});
    chooseShapefile(file("河流 1.shp"));
    EXPECT_EQ(edit("filepath")->placeholderText().toStdString(), file("河流 1.shp"));
    EXPECT_EQ(dialog.filePath, file("河流 1.shp"));

    ModalDriver colorDialog(
        [](QWidget* modal) {
            auto* chooser = qobject_cast<QColorDialog*>(modal);
            ASSERT_NE(chooser, nullptr);
            chooser->setCurrentColor(QColor(12, 34, 56));
            chooser->accept();
        },
        15000, "QColorDialog");
    button("pushButton_2")->click();
    ASSERT_TRUE(colorDialog.answered());
    EXPECT_EQ(colorDialog.title(), "选择你要的颜色");
    EXPECT_EQ(dialog.vectorColor, QColor(12, 34, 56));
    EXPECT_EQ(swatch("colorshow"), QColor(12, 34, 56));

    dialog.points.push_back({});
    edit("txsize")->setText("48");
    button("pushButton")->click();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]->filePath, file("河流 1.shp"));
    EXPECT_EQ(sent[0]->vectorColor, QColor(12, 34, 56));
    EXPECT_EQ(sent[0]->textColor, QColor(0, 0, 0));
    EXPECT_EQ(sent[0]->textSize, 48);
    EXPECT_TRUE(dialog.points.empty());
    EXPECT_TRUE(dialog.isVisible());

    // A second press sends the layer again; an emptied size field sends 0.
    edit("txsize")->clear();
    button("pushButton")->click();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1]->textSize, 0);
}

}  // namespace
