#include "casefiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QXmlStreamWriter>
#include <fstream>
#include <functional>
#include <iostream>

namespace {

bool writeXml(const std::string& path, const std::function<void(QXmlStreamWriter&)>& body) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    body(xml);
    xml.writeEndDocument();
    file.close();
    return !xml.hasError() && file.error() == QFileDevice::NoError;
}

void writeEntry(QXmlStreamWriter& xml, const XmlEntry& entry) {
    xml.writeStartElement(QString::fromStdString(entry.tag));
    for (const auto& [name, value] : entry.attributes) {
        xml.writeAttribute(QString::fromStdString(name), QString::fromStdString(value));
    }
    xml.writeEndElement();
}

std::string number(double value) {
    return QString::number(value, 'g', 12).toStdString();
}

}  // namespace

bool writeSceneXml(const std::string& path, const std::string& rootTag,
                   const std::vector<XmlCategory>& categories) {
    return writeXml(path, [&](QXmlStreamWriter& xml) {
        xml.writeStartElement(QString::fromStdString(rootTag));
        for (const XmlCategory& category : categories) {
            xml.writeStartElement(QString::fromStdString(category.tag));
            for (const XmlEntry& entry : category.entries) {
                writeEntry(xml, entry);
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    });
}

XmlEntry pathEntry(const std::string& path, const std::string& tag) {
    return {tag, {{"strPath", path}}};
}

std::vector<XmlEntry> cameraEntries(const double eye[3], const double center[3], const double up[3]) {
    auto triple = [](const char* tag, const double values[3]) {
        return XmlEntry{tag, {{"x", number(values[0])}, {"y", number(values[1])}, {"z", number(values[2])}}};
    };
    return {triple("eye", eye), triple("center", center), triple("up", up)};
}

bool writeMarks(const std::string& path, const std::vector<TextMark>& marks) {
    return writeXml(path, [&](QXmlStreamWriter& xml) {
        xml.writeStartElement("Marks");
        for (const TextMark& mark : marks) {
            xml.writeStartElement("Mark");
            writeEntry(xml, {"text", {{"textstr", mark.text}}});
            writeEntry(xml, {"pos", {{"X", number(mark.x)}, {"Y", number(mark.y)}, {"Z", number(mark.z)}}});
            writeEntry(xml, {"color",
                             {{"r", number(mark.red)},
                              {"g", number(mark.green)},
                              {"b", number(mark.blue)},
                              {"a", number(mark.alpha)}}});
            writeEntry(xml, {"size", {{"S", number(mark.size)}}});
            xml.writeEndElement();
        }
        xml.writeEndElement();
    });
}

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

bool makeFolders(const QString& base, const QStringList& folders) {
    for (const QString& folder : folders) {
        if (!QDir().mkpath(base + folder)) {
            std::cerr << "vantorel-demo-data: cannot create " << (base + folder).toStdString() << "\n";
            return false;
        }
    }
    return true;
}

bool runBatch(const QString& batch, const QStringList& arguments, const std::string& what) {
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.start(batch, arguments);
    if (!run.waitForFinished(-1) || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0) {
        std::cerr << "vantorel-demo-data: the " << what << " failed:\n"
                  << run.readAllStandardOutput().toStdString();
        return false;
    }
    return true;
}
