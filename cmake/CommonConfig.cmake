# Shared build settings for every Corvane target: one INTERFACE target carries them.
add_library(corvane_settings INTERFACE)
target_compile_features(corvane_settings INTERFACE cxx_std_20)
target_compile_options(corvane_settings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast
    -Woverloaded-virtual)
if(CORVANE_WERROR)
    target_compile_options(corvane_settings INTERFACE -Werror)
endif()
target_compile_definitions(corvane_settings INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_USE_QSTRINGBUILDER
    QT_STRICT_ITERATORS
    QT_DISABLE_DEPRECATED_UP_TO=0x060400
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_KEYWORDS)

# A layer is one static library built from every source under src/<layer> but the folders
# named in EXCLUDE, which build into targets of their own.
function(corvane_add_layer layer)
    cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/src/${layer}/*.cpp
        ${PROJECT_SOURCE_DIR}/src/${layer}/*.h
        ${PROJECT_SOURCE_DIR}/src/${layer}/*.ui)
    foreach(folder ${ARG_EXCLUDE})
        list(FILTER sources EXCLUDE REGEX "^${PROJECT_SOURCE_DIR}/src/${layer}/${folder}/")
    endforeach()
    add_library(corvane_${layer} STATIC ${sources})
    # Headers are included as "<layer>/...". The layer's include root holds links to its own
    # folder and to the layers made before it only, so including a header from above fails.
    set_property(GLOBAL APPEND PROPERTY CORVANE_LAYERS ${layer})
    get_property(visible GLOBAL PROPERTY CORVANE_LAYERS)
    set(root ${PROJECT_BINARY_DIR}/layer-includes/${layer})
    file(MAKE_DIRECTORY ${root})
    foreach(seen ${visible})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${seen} ${root}/${seen} SYMBOLIC)
    endforeach()
    target_include_directories(corvane_${layer} PUBLIC ${root})
    target_link_libraries(corvane_${layer} PUBLIC corvane_settings ${ARG_DEPS})
    set_target_properties(corvane_${layer} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
endfunction()
