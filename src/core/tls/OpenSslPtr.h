#pragma once
#include <memory>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

// OpenSSL objects owned the C++ way: each freed by its own function.
template <auto Free> struct OpenSslDeleter {
    template <class T> void operator()(T* object) const { Free(object); }
};
using BioPtr = std::unique_ptr<BIO, OpenSslDeleter<BIO_free>>;
using KeyPtr = std::unique_ptr<EVP_PKEY, OpenSslDeleter<EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, OpenSslDeleter<X509_free>>;
using GeneralNamesPtr = std::unique_ptr<GENERAL_NAMES, OpenSslDeleter<GENERAL_NAMES_free>>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, OpenSslDeleter<X509_EXTENSION_free>>;
using BigNumPtr = std::unique_ptr<BIGNUM, OpenSslDeleter<BN_free>>;
