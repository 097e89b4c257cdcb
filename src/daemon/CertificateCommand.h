#pragma once

// `marovindd --create-certificate`: makes marovind-cert.pem and marovind-key.pem in the
// program directory, as the dialog's "Create Certificate..." does, and prints the
// certificate's fingerprint and both paths. Existing files are replaced only with `force`:
// nobody is there to be asked. Returns the exit status.
int CreateCertificateCommand(bool force);
