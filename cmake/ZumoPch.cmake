# Precompiled Qt headers, shared by every target of the project.
#
# Nearly every file includes the same Qt and QCoro headers, and parsing them costs one to two
# seconds of CPU per file. One small target, zumo_pch, precompiles them once; zumo_pch_everywhere()
# (called once, at the end of the top-level CMakeLists.txt) makes every library, program and
# test reuse it, however and wherever it was declared, so a new target needs nothing for it.
#
# GCC takes a precompiled header only when each macro defined on the command line when it was
# made is defined alike where it is used (otherwise -Winvalid-pch says why and the headers are
# parsed as usual). So zumo_pch has the include folders of the libraries below but none of
# their QT_<MODULE>_LIB definitions, only QT_CORE_LIB, which every target here has. QtTest
# stays out: Qt gives each test folder its own QT_TESTCASE_BUILDDIR, and QtTest reads it.
# <QApplication> and <QGuiApplication> stay out as well: they redefine qApp, and a target
# without Qt Widgets would then find QApplication's type information wanted at link time.
# clang (the fuzz build) is stricter about differing macros and is left without.
option(ZUMO_PCH "Precompile the Qt headers once for every target (GCC only)" ON)

if(ZUMO_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/zumo_pch.cpp
        CONTENT "// The donor of the shared precompiled headers.\n")
    add_library(zumo_pch STATIC ${CMAKE_BINARY_DIR}/zumo_pch.cpp)
    set_target_properties(zumo_pch PROPERTIES AUTOMOC OFF AUTORCC OFF)
    target_link_libraries(zumo_pch PRIVATE Qt6::Core)
    foreach(lib Qt6::Gui Qt6::Widgets Qt6::Network QCoro6::Core)
        target_include_directories(zumo_pch SYSTEM PRIVATE
            $<TARGET_PROPERTY:${lib},INTERFACE_INCLUDE_DIRECTORIES>)
    endforeach()
    target_precompile_headers(zumo_pch PRIVATE
        <algorithm> <chrono> <functional> <memory> <optional>
        <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QFile> <QHash> <QJsonArray>
        <QJsonDocument> <QJsonObject> <QJsonValue> <QList> <QObject> <QPointer>
        <QRegularExpression> <QSet> <QSettings> <QStandardPaths> <QString> <QStringList>
        <QTimer> <QUrl> <QUuid> <QVariant>
        <QColor> <QFont> <QFontMetrics> <QImage> <QPainter> <QPixmap>
        <QBoxLayout> <QLabel> <QLineEdit> <QPushButton> <QWidget>
        <QNetworkAccessManager> <QNetworkReply> <QNetworkRequest>
        <QCoroTask>)
    set(ZUMO_PCH_TARGET zumo_pch)
endif()

# Every library and executable declared under the top-level folder reuses zumo_pch, unless it
# has precompiled headers of its own.
function(zumo_pch_everywhere)
    if(NOT ZUMO_PCH_TARGET)
        return()
    endif()
    set(dirs ${CMAKE_CURRENT_SOURCE_DIR})
    while(dirs)
        list(POP_FRONT dirs dir)
        get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
        list(APPEND dirs ${subdirs})
        get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
        foreach(target ${targets})
            get_target_property(type ${target} TYPE)
            get_target_property(own ${target} PRECOMPILE_HEADERS)
            get_target_property(reused ${target} PRECOMPILE_HEADERS_REUSE_FROM)
            if(target STREQUAL ZUMO_PCH_TARGET OR own OR reused
               OR NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
                continue()
            endif()
            target_precompile_headers(${target} REUSE_FROM ${ZUMO_PCH_TARGET})
        endforeach()
    endwhile()
endfunction()
