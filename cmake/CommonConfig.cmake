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

# A layer is one static library built from every source under src/<layer> but those matching
# an EXCLUDE pattern (a regular expression on the path below src/<layer>/), which go into
# targets of their own. USES names the lower layers it builds on: it links them, and it may
# include their headers and those they see in turn, as "<layer>/...", but no others.
# PRECOMPILED parses the Qt and standard headers most sources include once for the layer: in
# a layer of many sources that is most of their compile time. (Measured per target, the small
# layers, the tunnel and the test runners build no faster with it.)
function(corvane_add_layer layer)
    cmake_parse_arguments(ARG "PRECOMPILED" "" "USES;DEPS;EXCLUDE" ${ARGN})
    set(folder ${PROJECT_SOURCE_DIR}/src/${layer})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${folder}/*.cpp ${folder}/*.h ${folder}/*.ui)
    foreach(pattern ${ARG_EXCLUDE})
        list(FILTER sources EXCLUDE REGEX "^${folder}/${pattern}")
    endforeach()
    add_library(corvane_${layer} STATIC ${sources})

    # The layer's include root holds links to its own folder and to the folders it sees, so a
    # header of any other layer is not found.
    set(visible ${layer})
    foreach(used ${ARG_USES})
        get_property(seen GLOBAL PROPERTY CORVANE_LAYER_SEES_${used})
        if(NOT seen)
            message(FATAL_ERROR "layer ${layer} uses ${used}, which is not made before it")
        endif()
        list(APPEND visible ${seen})
    endforeach()
    list(REMOVE_DUPLICATES visible)
    set_property(GLOBAL PROPERTY CORVANE_LAYER_SEES_${layer} ${visible})
    set(root ${PROJECT_BINARY_DIR}/layer-includes/${layer})
    file(REMOVE_RECURSE ${root})
    file(MAKE_DIRECTORY ${root})
    foreach(seen ${visible})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${seen} ${root}/${seen} SYMBOLIC)
    endforeach()
    target_include_directories(corvane_${layer} PUBLIC ${root})
    list(TRANSFORM ARG_USES PREPEND corvane_)
    target_link_libraries(corvane_${layer} PUBLIC corvane_settings ${ARG_USES} ${ARG_DEPS})
    set_target_properties(corvane_${layer} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
    if(ARG_PRECOMPILED)
        target_precompile_headers(corvane_${layer} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/Precompiled.h)
    endif()
endfunction()
