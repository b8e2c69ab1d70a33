# Which product sources are standard C++ (no Windows header). They form
# pel_core, which the native and fuzz presets build alone; every other .cpp
# under the product folders is Windows code and goes into pel_win.
set(PEL_CORE_SOURCES
    xml/XmlLog.cpp
    config/TextNumber.cpp
    config/RegionList.cpp
    controls/DpiMath.cpp controls/Premultiply.cpp
    controls/SlideShowMath.cpp controls/ProgressGeometry.cpp
    config/StartDecision.cpp
    engine/StatusModel.cpp engine/TransferRules.cpp engine/RetryRules.cpp
    engine/ProgressParser.cpp
    xml/XmlDocument.cpp
    xml/XmlEntities.cpp
    xml/XmlElementIndex.cpp xml/XmlParser.cpp xml/XmlScanner.cpp
    xml/XmlEncoding.cpp
    xml/XmlEncodingNames.cpp
    xml/XmlEncodingSniff.cpp
    app/CommandLine.cpp
    framework/LogText.cpp
    config/UIStringTable.cpp
    config/UITextFormat.cpp
    panels/InstallFolderRules.cpp
    config/Sha256Text.cpp
    config/FileNameRules.cpp config/ManifestReader.cpp config/VersionDocument.cpp config/LanguageChoice.cpp
    config/DocumentMap.cpp config/ReadingOrder.cpp config/ModelLogText.cpp
    panels/PanelText.cpp
)

# The process entry; linked into the executable only, not into test runners.
set(PEL_ENTRY_SOURCES
    app/WinMain.cpp
)

set(PEL_PRODUCT_DIRS app panels controls engine config xml framework)
