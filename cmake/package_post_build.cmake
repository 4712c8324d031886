# Run by cpack once the ZIPs are made: rewrites them reproducibly and writes
# SHA256SUMS into the packages folder (the ZIPs are still in cpack's work
# folder, to be copied there) (cmake/reproducible_zips.py).
execute_process(COMMAND ${CPACK_OC_PYTHON} ${CPACK_OC_REPRODUCIBLE_ZIPS}
                        --epoch ${CPACK_OC_SOURCE_DATE_EPOCH} --sums ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS
                        ${CPACK_PACKAGE_FILES}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the ZIPs could not be made reproducible")
endif()
