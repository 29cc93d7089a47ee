# The Debian package, made by CPack from the install rules of the build:
#
#   cmake --build build && (cd build && cpack -G DEB)
#
# gives build/gestione-pratiche_<version>_amd64.deb. The version is the
# project's; the dependencies are computed from the shared libraries the
# programs link (dpkg-shlibdeps); the binaries are stripped.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gestione-pratiche)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Gestione Pratiche")
set(CPACK_PACKAGE_CONTACT "Gestione Pratiche <assistenza@gestionepratiche.it>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clienti, pratiche, spese e scadenze di uno studio professionale")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Gestione Pratiche tiene l'anagrafica dei clienti di uno studio, le pratiche
aperte per loro, le spese registrate su ogni pratica, l'archivio delle
pratiche chiuse e lo scadenzario con calendario, elenchi e stampe.

I dati stanno in due cartelle di lavoro Excel 97-2003 protette da password,
che il programma legge e scrive da sé. Il pacchetto contiene anche xlstool,
che mostra il contenuto di quelle cartelle di lavoro, e una cartella
dimostrativa.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.gestionepratiche.it/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Packaging (and installing) uses what is built, without building the rest
# of the tree (tests, benchmarks) first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
