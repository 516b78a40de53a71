# The translations of the library's texts: share/translations/paramica_LANG.ts
# built into .qm files in paramica/translations beside the library, where
# CLanguage looks for them, and installed the same way.
find_package(Qt5LinguistTools 5.15 REQUIRED)

set(PARAMICA_TRANSLATION_DIR ${CMAKE_LIBRARY_OUTPUT_DIRECTORY}/paramica/translations)
file(GLOB PARAMICA_TS_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/share/translations/paramica_*.ts)
set_source_files_properties(${PARAMICA_TS_FILES} PROPERTIES OUTPUT_LOCATION ${PARAMICA_TRANSLATION_DIR})
qt5_add_translation(PARAMICA_QM_FILES ${PARAMICA_TS_FILES})
add_custom_target(paramica_translations ALL DEPENDS ${PARAMICA_QM_FILES})
add_dependencies(paramica paramica_translations)
install(FILES ${PARAMICA_QM_FILES} DESTINATION ${CMAKE_INSTALL_LIBDIR}/paramica/translations)
