# Fails when a source includes a header of a layer above its own.
# Layers are folders, listed from the bottom up in LAYERS (comma-separated). The resource
# headers (ids and version numbers) and the generated site header are
# constants that any layer may use.
string(REPLACE "," ";" LAYERS "${LAYERS}")
set(rank 0)
foreach(layer IN LISTS LAYERS)
    set(rank_${layer} ${rank})
    math(EXPR rank "${rank} + 1")
endforeach()

set(faults "")
foreach(layer IN LISTS LAYERS)
    file(GLOB sources "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z_]+)/.*" "\\1" target "${line}")
            if(target STREQUAL "resources")
                continue()
            endif()
            if(NOT DEFINED rank_${target})
                string(APPEND faults "\n  ${source}: includes from unknown layer '${target}'")
            elseif(rank_${target} GREATER rank_${layer})
                file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
                string(APPEND faults "\n  ${shown} (${layer}) includes ${target}/: a layer above it")
            endif()
        endforeach()
    endforeach()
endforeach()

if(faults)
    message(FATAL_ERROR "Layers must include only the layers below them:${faults}")
endif()
