# The release archive VESKA-Windows-Utility-<version>.zip in the build folder:
# VK_UTL.exe, VK_CMD.exe, VKSVC.dll, vsrepair.exe, the administrator's guide
# as an HTML page with its pictures, side by side, and SHA256SUMS.txt with
# their checksums; and beside it the Windows Installer package of the same
# files, VESKA-Windows-Utility-<version>.msi, with its checksum in
# VESKA-Windows-Utility-<version>.msi.sha256. Both are part of every build, so
# they hold the very binaries the tests ran.

set(VK_ADMIN_GUIDE ${PROJECT_SOURCE_DIR}/docs/管理者ガイド.md CACHE FILEPATH
    "The administrator's guide, made into the HTML page of the release archive")
# The page and the pictures it shows, and nothing else: all of it ships.
set(VK_GUIDE_DIR ${CMAKE_BINARY_DIR}/guide)
set(VK_RELEASE_ARCHIVE ${CMAKE_BINARY_DIR}/VESKA-Windows-Utility-${PROJECT_VERSION}.zip)
set(VK_RELEASE_MSI ${CMAKE_BINARY_DIR}/VESKA-Windows-Utility-${PROJECT_VERSION}.msi)

# Debian's own Python: the page needs no module beyond its standard library.
find_program(VK_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
get_filename_component(guide_name ${VK_ADMIN_GUIDE} NAME_WE)
get_filename_component(guide_source_dir ${VK_ADMIN_GUIDE} DIRECTORY)
file(GLOB guide_pictures CONFIGURE_DEPENDS ${guide_source_dir}/*.png)
set(VK_GUIDE_PAGE ${VK_GUIDE_DIR}/${guide_name}.html)
add_custom_command(OUTPUT ${VK_GUIDE_PAGE}
    COMMAND ${VK_PYTHON} ${PROJECT_SOURCE_DIR}/scripts/make-guide.py ${VK_ADMIN_GUIDE} ${VK_GUIDE_DIR}
    DEPENDS ${VK_ADMIN_GUIDE} ${guide_pictures} ${PROJECT_SOURCE_DIR}/scripts/make-guide.py
    COMMENT "Administrator's guide as HTML in guide/"
    VERBATIM)
add_custom_target(guide DEPENDS ${VK_GUIDE_PAGE})

# Runs on every build, and an unchanged archive is left as it is. It is never
# signed, whatever the environment holds: this archive is the one the release
# test compares with the tested binaries. A signed archive is made by hand
# from the same files (README.md).
add_custom_target(release ALL
    COMMAND ${CMAKE_COMMAND} -E env --unset=VK_SIGN_PKCS12 --unset=VK_SIGN_PASSWORD
            --unset=VK_SIGN_TIMESTAMP
            ${PROJECT_SOURCE_DIR}/scripts/make-release.sh ${VK_RELEASE_ARCHIVE}
            $<TARGET_FILE:VK_UTL> $<TARGET_FILE:VK_CMD> $<TARGET_FILE:VKSVC> $<TARGET_FILE:vsrepair>
            ${VK_GUIDE_DIR}
    BYPRODUCTS ${VK_RELEASE_ARCHIVE}
    COMMENT "Release archive VESKA-Windows-Utility-${PROJECT_VERSION}.zip"
    VERBATIM)
add_dependencies(release VK_UTL VK_CMD VKSVC vsrepair guide)

# Made again only when a file in it changes: two packages of the same files
# differ (wixl writes the time and a new package code), so the package is left
# out of the reproducibility check. Never signed either: a signed package is
# made by hand, with the signed archive (make-release.sh --msi, README.md).
add_custom_command(OUTPUT ${VK_RELEASE_MSI} ${VK_RELEASE_MSI}.sha256
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-msi.sh ${VK_RELEASE_MSI}
            $<TARGET_FILE:VK_UTL> $<TARGET_FILE:VK_CMD> $<TARGET_FILE:VKSVC> $<TARGET_FILE:vsrepair>
            ${VK_GUIDE_DIR}
    # The guide's sources, not its page: the page's own rule belongs to the
    # target guide, which must come first.
    DEPENDS VK_UTL VK_CMD VKSVC vsrepair ${VK_ADMIN_GUIDE} ${guide_pictures}
            ${PROJECT_SOURCE_DIR}/scripts/make-guide.py ${PROJECT_SOURCE_DIR}/scripts/make-msi.sh
    COMMENT "Windows Installer package VESKA-Windows-Utility-${PROJECT_VERSION}.msi"
    VERBATIM)
add_custom_target(msi ALL DEPENDS ${VK_RELEASE_MSI})
add_dependencies(msi guide)
