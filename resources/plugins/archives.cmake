# The two plug-in archives, one per host version, zipped at build time from
# the stand-in bundles in arena6/ and arena7/. The entries are named one by
# one, because their order and layout are those of the archives the plug-ins
# ship in: folder entries first within each bundle, then its files, and no
# folder entry for "__MACOSX/". zip deflates every file (none is empty or
# incompressible, so none is merely stored); -X leaves out the owner and
# extended time fields so the archive does not depend on who built it.
#
# Sets CORVADINE_PLUGIN_ARCHIVES to the generated archives for the
# binary-data target: PluginsArena6.zip (names PluginsArena6_zip) and
# PluginsArena7.zip (PluginsArena7_zip).
find_program(CORVADINE_ZIP zip REQUIRED)

set(CORVADINE_PLUGIN_ARCHIVE_DIR ${CMAKE_CURRENT_BINARY_DIR}/plugins)

# corvadine_zip_plugins(<archive name> <source folder> <entry>...)
function(corvadine_zip_plugins archive source)
    set(output ${CORVADINE_PLUGIN_ARCHIVE_DIR}/${archive})
    set(inputs)

    foreach(entry IN LISTS ARGN)
        if(NOT EXISTS ${source}/${entry})
            message(FATAL_ERROR "Plug-in archive ${archive}: ${source}/${entry} is missing")
        endif()

        if(NOT entry MATCHES "/$")
            list(APPEND inputs ${source}/${entry})
        endif()
    endforeach()

    # juce_add_binary_data insists that its files exist when CMake configures,
    # so the first configure zips the archive once; the build then remakes it
    # whenever a stand-in file changes.
    if(NOT EXISTS ${output})
        file(MAKE_DIRECTORY ${CORVADINE_PLUGIN_ARCHIVE_DIR})
        execute_process(
            COMMAND ${CORVADINE_ZIP} -q -X -9 ${output} ${ARGN}
            WORKING_DIRECTORY ${source}
            RESULT_VARIABLE zipped)

        if(NOT zipped EQUAL 0)
            file(REMOVE ${output})
            message(FATAL_ERROR "Plug-in archive ${archive}: zip failed (${zipped})")
        endif()
    endif()

    # zip adds to an archive that already exists, so it starts from nothing.
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CORVADINE_PLUGIN_ARCHIVE_DIR}
        COMMAND ${CMAKE_COMMAND} -E rm -f ${output}
        COMMAND ${CORVADINE_ZIP} -q -X -9 ${output} ${ARGN}
        WORKING_DIRECTORY ${source}
        DEPENDS ${inputs} ${CMAKE_CURRENT_LIST_FILE}
        COMMENT "Zipping the plug-in archive ${archive}"
        VERBATIM)

    list(APPEND CORVADINE_PLUGIN_ARCHIVES ${output})
    set(CORVADINE_PLUGIN_ARCHIVES ${CORVADINE_PLUGIN_ARCHIVES} PARENT_SCOPE)
endfunction()

set(CORVADINE_PLUGIN_ARCHIVES)

# Host version 6: the one plug-in at the top level of the effects folder.
corvadine_zip_plugins(PluginsArena6.zip ${CMAKE_CURRENT_LIST_DIR}/arena6
    FFGLCorvadine.bundle/
    FFGLCorvadine.bundle/Contents/
    FFGLCorvadine.bundle/Contents/MacOS/
    FFGLCorvadine.bundle/Contents/Info.plist
    FFGLCorvadine.bundle/Contents/MacOS/FFGLCorvadine)

# Host version 7: both plug-ins inside "MacV7", with the folder's Finder
# file and the metadata a macOS archiver adds under "__MACOSX".
corvadine_zip_plugins(PluginsArena7.zip ${CMAKE_CURRENT_LIST_DIR}/arena7
    MacV7/
    MacV7/FFGLCorvadine.bundle/
    MacV7/FFGLCorvadine.bundle/Contents/
    MacV7/FFGLCorvadine.bundle/Contents/_CodeSignature/
    MacV7/FFGLCorvadine.bundle/Contents/MacOS/
    MacV7/FFGLCorvadine.bundle/Contents/_CodeSignature/CodeResources
    MacV7/FFGLCorvadine.bundle/Contents/Info.plist
    MacV7/FFGLCorvadine.bundle/Contents/MacOS/FFGLCorvadine
    MacV7/FFGLCorvadineTestCard.bundle/
    MacV7/FFGLCorvadineTestCard.bundle/Contents/
    MacV7/FFGLCorvadineTestCard.bundle/Contents/_CodeSignature/
    MacV7/FFGLCorvadineTestCard.bundle/Contents/MacOS/
    MacV7/FFGLCorvadineTestCard.bundle/Contents/_CodeSignature/CodeResources
    MacV7/FFGLCorvadineTestCard.bundle/Contents/Info.plist
    MacV7/FFGLCorvadineTestCard.bundle/Contents/MacOS/FFGLCorvadineTestCard
    MacV7/.DS_Store
    __MACOSX/._MacV7
    __MACOSX/MacV7/._.DS_Store)
