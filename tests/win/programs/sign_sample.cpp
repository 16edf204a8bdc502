// A program that does nothing: the tests sign copies of it with the test certificates and
// read its version resource.
int main()
{
    return 0;
}
