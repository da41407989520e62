# The release archive VESKA-Windows-Utility-<version>.zip in the build folder:
# VK_UTL.exe, VKSVC.dll, vsrepair.exe and the administrator's guide side by
# side, and SHA256SUMS.txt with their checksums. It is part of every build, so
# the archive holds the very binaries the tests ran.

set(VK_ADMIN_GUIDE ${PROJECT_SOURCE_DIR}/docs/管理者ガイド.md CACHE FILEPATH
    "The administrator's guide shipped in the release archive")
set(VK_RELEASE_ARCHIVE ${CMAKE_BINARY_DIR}/VESKA-Windows-Utility-${PROJECT_VERSION}.zip)

# Runs on every build: the guide is written by hand, not made by a target, and
# a guide that is still missing must stop the build, not be skipped. Making
# the archive takes a moment, and an unchanged archive is left as it is.
add_custom_target(release ALL
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-release.sh ${VK_RELEASE_ARCHIVE}
            $<TARGET_FILE:VK_UTL> $<TARGET_FILE:VKSVC> $<TARGET_FILE:vsrepair>
            ${VK_ADMIN_GUIDE}
    BYPRODUCTS ${VK_RELEASE_ARCHIVE}
    COMMENT "Release archive VESKA-Windows-Utility-${PROJECT_VERSION}.zip"
    VERBATIM)
add_dependencies(release VK_UTL VKSVC vsrepair)
